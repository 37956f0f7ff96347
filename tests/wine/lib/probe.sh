# shellcheck shell=bash
# Sourced after harness.sh: looks at the program's windows and tray icon the way a person
# does, through the mouse and keyboard (xdotool) and through what the screen shows (the
# probe program reads window texts, list items and tooltips back from the screen's windows).
#
#   probe ARGS...                  runs sonavi_probe.exe (see its usage); output in UTF-8;
#                                  inside the Wine desktop PROBE_DESKTOP when that is set
#   probe_wait_window S CLASS TITLE  waits up to S seconds for a visible top-level window;
#                                  prints its handle
#   probe_wait_gone S HWND         waits up to S seconds for the window to be hidden or gone
#   probe_child HWND CLASS [TEXT]  the handle of a child window
#   probe_click HWND [BUTTON]      clicks the middle of a window
#   tray_icon_centre               "X Y" of the program's tray icon on the screen
#   tray_wait_tip S TEXT           hovers over the tray icon until its tip reads TEXT
#   tray_wait_balloon S TEXT [OLD]  waits for a balloon (see below)
#   sonavi_modem_log               the lines of the diagnostic panel's modem log
#   tray_icon_state                fault or ready: the picture the icon shows
#   pty_users                      how many processes besides the modem hold its pty open
#   tray_menu ITEM                 opens the tray menu with the right button and clicks
#                                  ITEM (0 Agenda, 1 Lista de Chamadas, 2 Opções..., 3
#                                  Sobre..., 4 Sair)

PROBE_EXE="$SONAVI_BUILD/sonavi_probe.exe"

probe() {
  [[ -f "$PROBE_EXE" ]] || harness_fail "no $PROBE_EXE"
  SONAVI_PROBE_DESKTOP="${PROBE_DESKTOP:-}" "$WINE" "$PROBE_EXE" "$@" </dev/null 2>/dev/null |
    iconv -f CP1252 -t UTF-8
  return "${PIPESTATUS[0]}"
}

_probe_found=""
_probe_find() { _probe_found=$(probe find "$1" "$2" | head -n 1) && [[ -n "$_probe_found" ]]; }

probe_wait_window() {
  local seconds=$1 class=$2 title=$3
  harness_wait_for "$seconds" "a window '$title' ($class)" _probe_find "$class" "$title"
  echo "$_probe_found"
}

_probe_hidden() { ! probe windows | grep -q "^$1 1 "; }

probe_wait_gone() {
  harness_wait_for "$1" "window $2 to close" _probe_hidden "$2"
}

probe_child() {
  local parent=$1 class=$2 text=${3:-}
  probe children "$parent" | while read -r hwnd _id _visible child_class rest; do
    if [[ "$child_class" == "$class" && (-z "$text" || "$rest" == "\"$text\"") ]]; then
      echo "$hwnd"
      break
    fi
  done
}

probe_click() {
  local hwnd=$1 button=${2:-1} r
  read -r -a r < <(probe rect "$hwnd") || harness_fail "no window $hwnd"
  xdotool mousemove $(((r[0] + r[2]) / 2)) $(((r[1] + r[3]) / 2)) click "$button"
}

# The icon sits in Wine's own tray window, as a window of its own, or (inside a Wine
# desktop) at the right end of the taskbar, where the program's icon is the only one.
tray_icon_centre() {
  local tray icon r
  for tray in $(probe find __winex11_standalone_tray '*'); do
    icon=$(probe children "$tray" | awk '$4 == "__winex11_tray_icon" {print $1; exit}')
    [[ -n "$icon" ]] || continue
    read -r -a r < <(probe rect "$icon") || continue
    echo "$(((r[0] + r[2]) / 2)) $(((r[1] + r[3]) / 2))"
    return 0
  done
  if [[ -n "${PROBE_DESKTOP:-}" ]]; then
    tray=$(probe find Shell_TrayWnd '*' | head -n 1)
    [[ -n "$tray" ]] || return 1
    read -r -a r < <(probe rect "$tray") || return 1
    echo "$((r[2] - 12)) $(((r[1] + r[3]) / 2))"
    return 0
  fi
  return 1
}

_tray_tip_is() {
  local xy want=$1 deadline
  read -r -a xy < <(tray_icon_centre) || return 1
  # Away and back, so that the tip shows afresh.
  xdotool mousemove 600 700
  sleep 0.2
  xdotool mousemove "${xy[0]}" "${xy[1]}"
  deadline=$(($(_harness_now_us) + 3000000))
  while (($(_harness_now_us) < deadline)); do
    TRAY_TIP=$(probe tips | head -n 1)
    [[ "$TRAY_TIP" == "$want" ]] && return 0
    sleep 0.2
  done
  return 1
}

tray_wait_tip() {
  local seconds=$1 want=$2
  TRAY_TIP=""
  harness_wait_for "$seconds" "the tray tip '$want'" _tray_tip_is "$want"
  harness_log "tray tip: $TRAY_TIP"
}

_tray_menu_open() { TRAY_MENU=$(probe menu) && [[ -n "$TRAY_MENU" ]]; }

# The menu: five items and four separators, items 17 and separators 9 pixels high inside a
# 3-pixel frame at the usual font; scaled if the menu comes out taller or shorter.
tray_menu() {
  local item=$1 xy r height y
  read -r -a xy < <(tray_icon_centre) || harness_fail "no tray icon"
  xdotool mousemove "${xy[0]}" "${xy[1]}" click 3
  harness_wait_for 10 "the tray menu" _tray_menu_open
  read -r -a r <<<"$TRAY_MENU"
  height=$((r[3] - r[1] - 6))
  y=$((r[1] + 3 + (item * 26 + 8) * height / 121))
  [[ -n "${TRAY_MENU_SHOT:-}" ]] && harness_screenshot "$TRAY_MENU_SHOT"
  xdotool mousemove $((r[0] + 30)) "$y" click 1
}

# Balloons: the tray draws each one as a window of its own, about 2 s after it was asked
# for (one replaced sooner is never drawn). tray_wait_balloon S TEXT [OLD] waits for a
# visible balloon reading TEXT that is not the window OLD, and sets TRAY_BALLOON to its
# handle; tray_balloon_shown HWND tells whether that balloon is still on the screen.
_tray_balloon_is() {
  local want=$1 old=$2 hwnd text
  while read -r hwnd text; do
    if [[ "$text" == "$want" && "$hwnd" != "$old" ]]; then
      TRAY_BALLOON=$hwnd
      return 0
    fi
  done < <(probe balloons)
  return 1
}

tray_wait_balloon() {
  local seconds=$1 want=$2 old=${3:-none}
  TRAY_BALLOON=""
  harness_wait_for "$seconds" "the balloon '$want'" _tray_balloon_is "$want" "$old"
  harness_log "balloon $TRAY_BALLOON: $want"
}

tray_balloon_shown() { probe balloons | grep -q "^$1 "; }

# The diagnostic panel's log (the main window "Form1", shown or not).
sonavi_modem_log() {
  local form memo
  form=$(probe windows | awk '$3 == "SonaviForm" && $4 == "\"Form1\"" {print $1; exit}')
  [[ -n "$form" ]] || return 1
  memo=$(probe children "$form" | awk '$2 == 100 {print $1; exit}')
  [[ -n "$memo" ]] || return 1
  probe text "$memo" | tr -d '\r'
}

# A registry value as `reg query` shows it ("REG_SZ COM5"), or nothing when it is absent.
wine_reg_value() {
  "$WINE" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    awk -v name="$2" '$1 == name {$1 = ""; sub(/^ +/, ""); print; exit}'
}

# The port names in Wine's device map of serial ports, one a line, sorted.
wine_serial_ports() {
  "$WINE" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' 2>/dev/null | tr -d '\r' |
    awk '$2 == "REG_SZ" {print $3}' | sort
}

# How many processes other than the simulated modem hold its pty open.
pty_users() {
  find /proc/[0-9]*/fd -maxdepth 1 -lname "$FAKEMODEM_PTY" 2>/dev/null |
    grep -vc "^/proc/$FAKEMODEM_PID/" || true
}

# Which of the program's two tray pictures the screen shows, by its colours: "fault" (the
# grey handset with the red sign) or "ready" (the green handset). The pointer and its tip
# are moved out of the way first. (The tray may leave a fringe of the old picture around
# the new one, so pictures are told apart by colour, not compared pixel for pixel.)
tray_icon_state() {
  local xy counts
  read -r -a xy < <(tray_icon_centre) || return 1
  xdotool mousemove 600 700
  harness_wait_for 10 "the tip to go" eval '[[ -z "$(probe tips)" ]]'
  counts=$(xwd -root -display "$DISPLAY" 2>/dev/null |
    convert xwd:- -crop "16x16+$((xy[0] - 8))+$((xy[1] - 8))" -depth 8 txt:- |
    awk -F'[(),]' 'NR > 1 {
        r = $3 + 0; g = $4 + 0; b = $5 + 0
        if (r > 180 && g < 90 && b < 90) red++
        if (g > 140 && r < 130 && b < 150) green++
      } END { print red + 0, green + 0 }')
  read -r -a counts <<<"$counts"
  if ((counts[0] >= 8)); then
    echo fault
  elif ((counts[1] >= 40)); then
    echo ready
  else
    echo unknown
  fi
}
