#!/bin/bash
# The tray menu, inside a Wine desktop with a taskbar: the right button on the icon opens
# it; "Opções..." opens the options dialog, and again while it is open changes nothing;
# "Sobre..." shows the about window; "Sair" ends the program, which lets go of the modem's
# port. Keeps pictures of the menu, the dialog and the about window in $SONAVI_SCREENSHOTS
# (the scratch folder by default; docs/screenshots/ for the README's pictures).
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

key='HKCU\Software\Borvane\Sonavi'

harness_init accept_tray_menu
shots="${SONAVI_SCREENSHOTS:-$HARNESS_DIR/screenshots}"
fakemodem_start
harness_map_port COM5
harness_settings COM5 1
sonavi_start --desktop
PROBE_DESKTOP=sonavi
harness_wait_log '^[0-9]+ AT#CID=1$' 30
harness_wait_for 10 "the tray icon" tray_icon_centre
(($(pty_users) > 0)) || harness_fail "nobody holds the modem's port open"

# A picture of a window and what lies around it, cut from the screen.
keep_picture() {
  local name=$1 left=$2 top=$3 right=$4 bottom=$5 margin=${6:-12}
  mkdir -p "$shots"
  harness_screenshot "$name"
  ((left = left > margin ? left - margin : 0, top = top > margin ? top - margin : 0))
  ((right = right + margin > 1024 ? 1024 : right + margin))
  ((bottom = bottom + margin > 768 ? 768 : bottom + margin))
  convert "$HARNESS_DIR/$name.png" -crop "$((right - left))x$((bottom - top))+$left+$top" \
    +repage -strip "png8:$shots/$name.png" || harness_fail "could not keep $name.png"
}

# The menu, from its left edge down to the taskbar; then "Opções...".
TRAY_MENU_SHOT=menu_open
tray_menu 2
read -r -a m <<<"$TRAY_MENU"
mkdir -p "$shots"
convert "$HARNESS_DIR/menu_open.png" \
  -crop "$((1024 - m[0] + 8))x$((768 - m[1] + 8))+$((m[0] - 8))+$((m[1] - 8))" \
  +repage -strip "png8:$shots/tray_menu.png"
unset TRAY_MENU_SHOT
dialog=$(probe_wait_window 10 SonaviForm "Opções")
combo=$(probe_child "$dialog" ComboBox)
check=$(probe_child "$dialog" Button "&Desligar o altifalante do modem ao marcar")
[[ "$(probe text "$combo")" == COM5 ]] || harness_fail "the dialog does not show the port in use"
[[ "$(probe checked "$check")" == 1 ]] || harness_fail "the loudspeaker box is not ticked"
read -r -a r < <(probe rect "$dialog")
keep_picture options "${r[@]}"

# "Opções..." again while the dialog is open: the same dialog stays, and nothing else opens.
tray_menu 2
harness_wait_for 10 "the menu to close" eval '! probe menu'
[[ "$(probe find SonaviForm "Opções")" == "$dialog" ]] ||
  harness_fail "a second 'Opções...' changed the dialog"
# "Cancelar" closes it without storing anything.
probe_click "$(probe_child "$dialog" Button "&Cancelar")"
probe_wait_gone 10 "$dialog"
[[ "$(wine_reg_value "$key" DesligAltif)" == "REG_SZ 1" ]] || harness_fail "Cancel stored the options"

# "Sobre...": the about window, which its OK button closes.
tray_menu 3
about=$(probe_wait_window 10 SonaviForm "About...")
probe children "$about" | grep -q '"Sonavi"' || harness_fail "the about window does not name the program"
read -r -a r < <(probe rect "$about")
keep_picture about "${r[@]}"
probe_click "$(probe_child "$about" Button "&OK")"
probe_wait_gone 10 "$about"

# "Sair": the program ends and lets go of the port.
tray_menu 4
harness_wait_for 20 "the program to end" eval '! probe find SonaviApplication Sonavi && ! probe windows | grep -q SonaviForm'
harness_wait_for 20 "the modem's port to be closed" eval '(($(pty_users) == 0))'
harness_wait_for 20 "the desktop to close with the program" eval '! sonavi_running'
harness_pass
