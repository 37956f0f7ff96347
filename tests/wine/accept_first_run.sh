#!/bin/bash
# First run, no settings yet: the tray tip says that no port is set, the options dialog
# "Opções" opens by itself with the ports the system lists and the blank item chosen, and
# nothing is sent anywhere. Choosing the modem's port with the keyboard and pressing OK
# stores the port and the loudspeaker setting and initialises the modem at once, and the
# icon changes to its caller-ID picture.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

key='HKCU\Software\Borvane\Sonavi'

harness_init accept_first_run
fakemodem_start
harness_map_port COM5
wine_clear_settings
sonavi_start

dialog=$(probe_wait_window 30 SonaviForm "Opções")
tray_wait_tip 15 "Porta do modem não definida."
[[ "$(tray_icon_state)" == fault ]] || harness_fail "the icon does not show the fault"
combo=$(probe_child "$dialog" ComboBox)
check=$(probe_child "$dialog" Button "&Desligar o altifalante do modem ao marcar")
[[ -n "$combo" && -n "$check" ]] || harness_fail "the dialog lacks its port list or check box"
mapfile -t listed < <(probe combo "$combo")
harness_log "port list: selected ${listed[0]}, items '${listed[*]:1}'"
[[ "${listed[0]}" == 0 && "${listed[1]}" == " " ]] ||
  harness_fail "the blank item is not the first one, selected"
[[ "$(printf '%s\n' "${listed[@]:2}")" == "$(wine_serial_ports)" ]] ||
  harness_fail "the list does not hold the ports of the device map: $(wine_serial_ports | xargs)"
[[ "$(probe checked "$check")" == 0 ]] || harness_fail "the loudspeaker box is ticked"
[[ ! -s "$FAKEMODEM_LOG" ]] || harness_fail "something was sent before a port was chosen"
[[ -z "$(wine_reg_value "$key" Port)" ]] || harness_fail "a port was stored before OK"

# Alt+P to the port list, down the list to the modem's port, Enter for OK.
xdotool key alt+p
harness_wait_for 5 "the keyboard in the port list" eval '[[ "$(probe focus "$dialog")" == "$combo" ]]'
for _ in "${listed[@]}"; do
  [[ "$(probe text "$combo")" == COM5 ]] && break
  xdotool key Down
done
[[ "$(probe text "$combo")" == COM5 ]] || harness_fail "COM5 could not be chosen"
[[ -z "$(wine_reg_value "$key" Port)" ]] || harness_fail "a port was stored before OK"
xdotool key Return
probe_wait_gone 10 "$dialog"

harness_wait_log '^[0-9]+ AT#CID=1$' 10
[[ "$(cut -d' ' -f2- "$FAKEMODEM_LOG")" == "$(printf 'AT\nATZ\nAT#CID=1')" ]] ||
  harness_fail "the modem was not sent AT, ATZ, AT#CID=1"
[[ "$(wine_reg_value "$key" Port)" == "REG_SZ COM5" ]] || harness_fail "Port not stored as COM5"
[[ "$(wine_reg_value "$key" DesligAltif)" == "REG_SZ 0" ]] ||
  harness_fail "DesligAltif not stored as 0"
harness_wait_for 10 "the caller-ID picture" eval '[[ "$(tray_icon_state)" == ready ]]'
sonavi_running || harness_fail "the program ended"
harness_pass
