#!/bin/bash
# A restarted shell forgets every tray icon and then tells all windows that the taskbar was
# created again: the program's icon comes back with its picture and its current tip.
# Inside a Wine desktop, whose taskbar keeps the icons of every program.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

harness_init accept_taskbar_restart
harness_settings COM9 0
sonavi_start --desktop
PROBE_DESKTOP=sonavi
harness_wait_for 30 "the taskbar" tray_icon_centre
tray_wait_tip 20 "Erro ao abrir porta COM9."

# The right end of the taskbar, where the icon is, as the screen shows it; the pointer and
# its tip out of the way.
icon_area() {
  local r
  read -r -a r < <(probe rect "$(probe find Shell_TrayWnd '*' | head -n 1)") || return 1
  xwd -root -display "$DISPLAY" 2>/dev/null |
    convert xwd:- -crop "24x$((r[3] - r[1]))+$((r[2] - 24))+${r[1]}" rgb:- | md5sum
}
away() {
  xdotool mousemove 500 300
  harness_wait_for 10 "the tip to go" eval '[[ -z "$(probe tips)" ]]'
}
area_is() { [[ "$(icon_area)" == "$1" ]]; }
area_is_not() { [[ "$(icon_area)" != "$1" ]]; }

away
with_icon=$(icon_area)
probe tray-forget SonaviTrayWindow || harness_fail "the shell did not know the icon"
harness_wait_for 10 "the icon to leave the taskbar" area_is_not "$with_icon"
harness_screenshot forgotten

probe taskbar-created || harness_fail "could not tell the windows that the taskbar is back"
harness_wait_for 10 "the icon to come back" area_is "$with_icon"
harness_screenshot restored
tray_wait_tip 10 "Erro ao abrir porta COM9."
sonavi_running || harness_fail "the program ended"
harness_pass
