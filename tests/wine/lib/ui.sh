# shellcheck shell=bash
# Sourced after harness.sh by the scenarios that use the program as a person does, inside
# the Wine desktop that `sonavi_start --desktop` opens: keys and mouse clicks through
# xdotool, and a look at the windows through phonebook_probe.exe (titles, control texts
# and places, the selected grid row, the foreground window).
#
#   ui_dump                        refreshes $UI_DUMP (the probe's picture, UTF-8)
#   ui_window_up TITLE [TEXT]      a visible window TITLE (holding a control TEXT) exists
#   ui_wait_window S TITLE [TEXT]  waits up to S seconds for it; ui_wait_gone likewise
#   ui_box_text                    the text of the message box that is up ("" when none)
#   ui_wait_box S TEXT             waits up to S seconds for a message box showing TEXT
#   ui_click_control TITLE TEXT    clicks the control TEXT of window TITLE
#   ui_grid TITLE                  "rows sel" of the grid of window TITLE
#   ui_wait_focus S TITLE ID       waits for the keyboard focus on control ID of TITLE
#   ui_key KEYS...                 key presses (xdotool names: alt+a, Return, Delete)
#   ui_type TEXT                   types TEXT
#   ui_wait_started S              waits up to S seconds for all the program's windows
#   ui_tray_click [double|right]   clicks the program's icon in the taskbar's tray area
#   ui_menu_pick N                 chooses the N-th item of the popup menu that is open
#   ui_window_shot TITLE FILE      a picture of one window (frame included)

UI_DESKTOP=sonavi
UI_DUMP=""
UI_PROBE="$SONAVI_BUILD/phonebook_probe.exe"

ui_probe() { "$WINE" "$UI_PROBE" --desktop "$UI_DESKTOP" "$@"; }

ui_dump() {
  [[ -f "$UI_PROBE" ]] || harness_fail "no $UI_PROBE"
  UI_DUMP="$HARNESS_DIR/windows.txt"
  ui_probe dump 2>/dev/null | iconv -f CP1252 -t UTF-8 >"$UI_DUMP.new" || true
  mv "$UI_DUMP.new" "$UI_DUMP"
}

# The probe's lines of visible windows, each control line prefixed with its window's title:
#   W <tab> hwnd <tab> left,top,right,bottom <tab> enabled <tab> class <tab> title
#   C <tab> window-title <tab> hwnd <tab> id <tab> class <tab> rect <tab> text <tab> extra
_ui_visible() {
  awk -F'\t' '
    $1 == "W" { up = ($5 == 1); title = $8; if (up) print "W\t" $2 "\t" $7 "\t" $6 "\t" $4 "\t" $8 }
    $1 == "C" && up && $6 == 1 { print "C\t" title "\t" $2 "\t" $4 "\t" $5 "\t" $8 "\t" $9 "\t" $10 }
  ' "$UI_DUMP"
}

ui_window_up() {
  local title=$1 text=${2:-}
  ui_dump
  if [[ -z "$text" ]]; then
    _ui_visible | awk -F'\t' -v t="$title" '$1 == "W" && $6 == t { found = 1 } END { exit !found }'
  else
    _ui_visible | awk -F'\t' -v t="$title" -v x="$text" \
      '$1 == "C" && $2 == t && $7 == x { found = 1 } END { exit !found }'
  fi
}

ui_wait_window() {
  local seconds=$1
  shift
  harness_wait_for "$seconds" "the window '$*'" ui_window_up "$@"
}

_ui_window_gone() { ! ui_window_up "$@"; }
ui_wait_gone() {
  local seconds=$1
  shift
  harness_wait_for "$seconds" "the window '$*' to go" _ui_window_gone "$@"
}

# A message box is a dialog of class #32770 with the application title as caption.
ui_box_text() {
  ui_dump
  _ui_visible | awk -F'\t' '
    $1 == "W" { box = ($5 == "#32770") }
    $1 == "C" && box && $5 == "Static" && $7 != "" { print $7 }'
}

_ui_box_shows() { [[ "$(ui_box_text)" == *"$1"* ]]; }
ui_wait_box() {
  harness_wait_for "$1" "the message box '$2'" _ui_box_shows "$2"
}

# Centre of a control (by its text) of a visible window, in screen coordinates; inside the
# Wine desktop these are the X screen's coordinates.
_ui_control_centre() {
  local title=$1 text=$2
  _ui_visible | awk -F'\t' -v t="$title" -v x="$text" '
    $1 == "C" && $2 == t && $7 == x {
      split($6, r, ","); printf "%d %d\n", (r[1] + r[3]) / 2, (r[2] + r[4]) / 2; exit }'
}

ui_click_control() {
  local title=$1 text=$2 where
  ui_dump
  where=$(_ui_control_centre "$title" "$text")
  [[ -n "$where" ]] || harness_fail "no control '$text' in the window '$title'"
  # shellcheck disable=SC2086
  xdotool mousemove $where click 1
}

ui_control_centre() {
  ui_dump
  _ui_control_centre "$@"
}

# "rows sel" of the (first) grid of the visible window TITLE.
ui_grid() {
  ui_dump
  _ui_visible | awk -F'\t' -v t="$1" '
    $1 == "C" && $2 == t && $5 == "SysListView32" {
      split($8, a, /[ =]/); print a[2], a[4]; exit }'
}

_ui_grid_is() { [[ "$(ui_grid "$1")" == "$2" ]]; }
ui_wait_grid() {
  harness_wait_for "$1" "the grid of '$2' to read '$3' (rows sel)" _ui_grid_is "$2" "$3"
}

# Rect "left,top,right,bottom" of the visible window TITLE (the first one in z-order).
ui_window_rect() {
  ui_dump
  _ui_visible | awk -F'\t' -v t="$1" '$1 == "W" && $6 == t { print $3; exit }'
}

ui_foreground_title() {
  ui_dump
  local fg
  fg=$(awk -F'\t' '$1 == "F" { print $2 }' "$UI_DUMP")
  awk -F'\t' -v h="$fg" '$1 == "W" && $2 == h { print $8; exit }' "$UI_DUMP"
}

_ui_foreground_is() { [[ "$(ui_foreground_title)" == "$1" ]]; }
ui_wait_foreground() {
  harness_wait_for "$1" "the window '$2' in front" _ui_foreground_is "$2"
}

# The keyboard focus is on control ID of the window TITLE (the window in front).
ui_focus_is() {
  ui_dump
  awk -F'\t' -v t="$1" -v id="$2" '
    $1 == "W" { title[$2] = $8 }
    $1 == "C" { parent[$2] = $3; cid[$2] = $4 }
    $1 == "F" { focus = $4 }
    END { exit !(focus in cid && cid[focus] == id && title[parent[focus]] == t) }' "$UI_DUMP"
}

ui_wait_focus() {
  harness_wait_for "$1" "the focus on control $3 of '$2'" ui_focus_is "$2" "$3"
}

# Keys go where a person's would: to the desktop window under the pointer, which hands
# them to the window in front.
ui_key() {
  local key
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.15
  done
}

ui_type() { xdotool type --delay 40 "$1"; }

# The program's icon is the rightmost picture in the taskbar's tray area: its place is
# read off the screen, as a person would find it.
UI_TRAY_X=""
UI_TRAY_Y=""

# The program has created all its windows (the about window comes last).
_ui_started() {
  ui_dump
  awk -F'\t' '$1 == "W" && $4 == "SonaviForm" && $8 == "About..." { found = 1 } END { exit !found }' \
    "$UI_DUMP"
}
ui_wait_started() { harness_wait_for "$1" "the program's windows" _ui_started; }
_ui_find_tray_icon() {
  local shot="$HARNESS_DIR/tray.png" box w h x y
  xwd -root -display "$DISPLAY" 2>/dev/null | convert xwd:- -crop 120x20+904+748 +repage \
    "$shot" 2>/dev/null || return 1
  # The tray area is plain white; the trimmed box is the icon (WxH+X+Y).
  box=$(convert "$shot" -fuzz 10% -trim -format '%w %h %X %Y' info: 2>/dev/null) || return 1
  read -r w h x y <<<"$box"
  ((w >= 8 && w <= 24 && h >= 8 && h <= 24)) || return 1
  UI_TRAY_X=$((904 + ${x#+} + w / 2))
  UI_TRAY_Y=$((748 + ${y#+} + h / 2))
}

ui_tray_click() {
  local how=${1:-double}
  # Every run of the program has a new desktop: look for the icon each time.
  harness_wait_for 20 "the tray icon" _ui_find_tray_icon
  # The pointer comes from elsewhere, so that Wine sees it arrive over the icon.
  xdotool mousemove "$((UI_TRAY_X - 200))" "$((UI_TRAY_Y - 200))"
  sleep 0.1
  xdotool mousemove "$UI_TRAY_X" "$UI_TRAY_Y"
  sleep 0.1
  case $how in
    double) xdotool click --repeat 2 --delay 100 1 ;;
    right) xdotool click 3 ;;
    *) xdotool click 1 ;;
  esac
}

# Clicks the N-th item of the popup menu that is open. Wine draws menu items 18 pixels
# high, a separator 8; the program's tray menu has a separator after every item (pitch
# 26), a single-item menu needs none.
ui_menu_pick() {
  local n=$1 pitch=${2:-26} rect left top
  harness_wait_for 10 "the popup menu" _ui_menu_up
  rect=$(_ui_visible | awk -F'\t' '$1 == "W" && $5 == "#32768" { print $3; exit }')
  IFS=, read -r left top _ _ <<<"$rect"
  xdotool mousemove "$((left + 40))" "$((top + 11 + pitch * (n - 1)))"
  sleep 0.2
  xdotool click 1
}

_ui_menu_up() {
  ui_dump
  _ui_visible | awk -F'\t' '$1 == "W" && $5 == "#32768" { found = 1 } END { exit !found }'
}

# One window's own picture, frame included (Wine draws the frame inside the desktop),
# read from the window's own X window: a window that sits wholly inside another one of the
# program's windows shows black in a picture of the whole screen under Xvfb (the X
# stacking inside Wine's desktop is not the windows' order), while its own X window holds
# what the user sees.
ui_window_shot() {
  local title=$1 file=$2 rect x y r b geometry xid
  rect=$(ui_window_rect "$title")
  [[ -n "$rect" ]] || harness_fail "no window '$title' for a picture"
  IFS=, read -r x y r b <<<"$rect"
  geometry="$((r - x))x$((b - y))+$x+$y"
  xid=$(xwininfo -root -tree -display "$DISPLAY" |
    awk -v t="\"$title\":" -v g="$geometry" 'index($0, t) && index($0, " " g " ") { print $1; exit }')
  if [[ -n "$xid" ]]; then
    xwd -id "$xid" -display "$DISPLAY" | convert xwd:- "$file"
  else
    xwd -root -display "$DISPLAY" | convert xwd:- -crop "$geometry" +repage "$file"
  fi
  harness_log "picture of '$title': $file"
}

# The bytes of agenda.dat for the given lines (UTF-8 here, Windows-1252 on disk, CR LF).
ui_book_bytes() {
  local line
  for line in "$@"; do printf '%s\r\n' "$line"; done | iconv -f UTF-8 -t CP1252
}

# True when FILE holds exactly the given lines.
ui_book_is() {
  local file=$1
  shift
  cmp -s "$file" <(ui_book_bytes "$@")
}

ui_wait_book() {
  local seconds=$1 file=$2
  shift 2
  if ! harness_wait_for_quiet "$seconds" ui_book_is "$file" "$@"; then
    echo "--- expected" >&2
    ui_book_bytes "$@" | od -c >&2
    echo "--- $file" >&2
    od -c "$file" >&2 || true
    harness_fail "agenda.dat does not hold the expected lines"
  fi
}

# Like harness_wait_for, but returns 1 instead of failing the scenario.
harness_wait_for_quiet() {
  local seconds=$1
  shift
  local deadline=$(($(_harness_now_us) + seconds * 1000000))
  until "$@" >/dev/null 2>&1; do
    (($(_harness_now_us) >= deadline)) && return 1
    sleep 0.1
  done
}
