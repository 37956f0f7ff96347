#!/bin/bash
# The modem's state as the tray shows it, in the icon's picture and tip: a port that is not
# there is reported in the tip and the program goes on; choosing the modem's port in "Opções" opens it at once; a modem
# that stops answering fails the initialisation at "AT" when the options are confirmed
# again, and once it answers again the next confirmation initialises it fully.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

harness_init accept_supervision
fakemodem_start
harness_map_port COM5
harness_settings COM9 0
sonavi_start
tray_wait_tip 20 "Erro ao abrir porta COM9."
sonavi_running || harness_fail "the program ended"
[[ "$(tray_icon_state)" == fault ]] || harness_fail "the icon does not show the fault"

# The modem's command log from line $1 on, without the minute's checks ("AT#CID?"), which
# may come in between on a slow machine.
commands_after() { tail -n +"$(($1 + 1))" "$FAKEMODEM_LOG" | cut -d' ' -f2- | grep -v '^AT#CID?$' || true; }
log_lines() { wc -l <"$FAKEMODEM_LOG"; }
# Opens "Opções" from the tray menu and confirms it with Enter, the port list showing $1.
confirm_options() {
  local dialog combo
  tray_menu 2
  dialog=$(probe_wait_window 10 SonaviForm "Opções")
  combo=$(probe_child "$dialog" ComboBox)
  harness_wait_for 5 "the keyboard in the port list" eval '[[ "$(probe focus "$dialog")" == "$combo" ]]'
  for _ in 1 2 3 4 5 6 7 8; do
    [[ "$(probe text "$combo")" == "$1" ]] && break
    xdotool key Down
  done
  [[ "$(probe text "$combo")" == "$1" ]] || harness_fail "$1 could not be chosen"
  xdotool key Return
  probe_wait_gone 15 "$dialog"
}

# COM9 is not listed, so the blank item shows; the modem's port is chosen instead.
[[ ! -s "$FAKEMODEM_LOG" ]] || harness_fail "something reached the modem before its port was set"
confirm_options COM5
harness_wait_log '^[0-9]+ AT#CID=1$' 10
[[ "$(commands_after 0)" == "$(printf 'AT\nATZ\nAT#CID=1')" ]] ||
  harness_fail "the new port did not get AT, ATZ, AT#CID=1"
harness_wait_for 10 "the caller-ID picture" eval '[[ "$(tray_icon_state)" == ready ]]'

# The modem falls silent: confirming the options re-runs the check, which fails at "AT".
fakemodem_control "silent on"
mark=$(log_lines)
confirm_options COM5
tray_wait_tip 15 "Erro na comunicação com o modem."
[[ "$(tray_icon_state)" == fault ]] || harness_fail "the icon does not show the fault"
[[ "$(commands_after "$mark")" == AT ]] ||
  harness_fail "a silent modem got '$(commands_after "$mark" | xargs)' instead of one AT"

# It answers again: the next confirmation initialises it.
fakemodem_control "silent off"
mark=$(log_lines)
confirm_options COM5
harness_wait_for 10 "AT#CID=1 after the modem answers again" \
  eval '[[ "$(commands_after '"$mark"')" == *AT#CID=1* ]]'
[[ "$(commands_after "$mark")" == "$(printf 'AT\nATZ\nAT#CID=1')" ]] ||
  harness_fail "the modem got '$(commands_after "$mark" | xargs)' instead of AT, ATZ, AT#CID=1"
harness_wait_for 10 "the caller-ID picture again" eval '[[ "$(tray_icon_state)" == ready ]]'
sonavi_running || harness_fail "the program ended"
harness_pass
