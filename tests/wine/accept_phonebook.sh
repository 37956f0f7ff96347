#!/bin/bash
# The phone book used as a person uses it: opened by a double click on the tray icon,
# entries added, edited, searched for and removed with the keyboard and the mouse, and
# agenda.dat rewritten, sorted as Portuguese sorts names, after every change. Alt+Z shows
# and hides the diagnostic window. Pictures of the phone book and the entry dialog go to
# $HARNESS_DIR (docs/screenshots keeps copies).
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_phonebook
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
sonavi_start --desktop
BOOK="$HARNESS_DIR/app/agenda.dat"

harness_wait_log '^[0-9]+ AT#CID=1$' 30
ui_wait_started 30
ui_tray_click double
ui_wait_window 10 Agenda "&Procurar"
ui_wait_foreground 10 Agenda
ui_wait_focus 10 Agenda 202
[[ ! -e "$BOOK" ]] || harness_fail "agenda.dat exists before the first entry"
[[ "$(ui_grid Agenda)" == "1 0" ]] || harness_fail "an empty phone book is one empty row"

# Fills the entry dialog that is up and presses Return.
entry() {
  ui_wait_window 10 Agenda "&Nome:"
  ui_wait_focus 10 Agenda 101
  ui_type "$1"
  ui_key Tab
  ui_type "$2"
  ui_key Return
}

# Adding: the first entry creates the file; names are sorted as Portuguese sorts them
# ("ana" before "Ana", both before "Zé", though "Z" < "a" byte for byte).
ui_key alt+a
entry "Zé" "219876543"
ui_wait_gone 10 Agenda "&Nome:"
ui_wait_book 10 "$BOOK" "Zé;219876543"

ui_key alt+a
entry "Ana" "21555"
ui_wait_book 10 "$BOOK" "Ana;21555" "Zé;219876543"

# Refused entries keep the dialog open without a message: a name of blanks, then no
# telephone. What is typed afterwards still lands in the same dialog.
ui_key alt+a
entry "   " "218"
ui_key alt+n
ui_type "  ana  "
ui_key alt+t BackSpace Return
ui_window_up Agenda "&Nome:" || harness_fail "the dialog closed on an empty telephone"
[[ -z "$(ui_box_text)" ]] || harness_fail "a refused entry showed a message"
ui_key alt+t
ui_type "218"
ui_window_shot Agenda "$HARNESS_DIR/entry_dialog.png"
ui_key Return
ui_wait_gone 10 Agenda "&Nome:"
# The name typed with blanks around it is stored trimmed.
ui_wait_book 10 "$BOOK" "ana;218" "Ana;21555" "Zé;219876543"

ui_key alt+a
entry "Bruno" "300"
ui_wait_book 10 "$BOOK" "ana;218" "Ana;21555" "Bruno;300" "Zé;219876543"
ui_window_shot Agenda "$HARNESS_DIR/phonebook.png"

# Cancel changes nothing.
ui_key alt+a
ui_wait_window 10 Agenda "&Nome:"
ui_wait_focus 10 Agenda 101
ui_type "Xavier"
ui_key Escape
ui_wait_gone 10 Agenda "&Nome:"
ui_book_is "$BOOK" "ana;218" "Ana;21555" "Bruno;300" "Zé;219876543" ||
  harness_fail "a cancelled entry changed agenda.dat"

# Searching: the search box has the focus; Return steps through the matches below the
# selection and starts again at the top. "ANA" finds ana and Ana; "21" finds telephones.
ui_wait_grid 10 Agenda "4 0"
ui_wait_focus 10 Agenda 202
ui_type "ANA"
ui_key Return
ui_wait_grid 10 Agenda "4 1"
ui_key Return
ui_wait_grid 10 Agenda "4 0"
ui_key Return
ui_wait_grid 10 Agenda "4 1"
ui_key End shift+Home BackSpace
ui_type "21"
ui_key Return
ui_wait_grid 10 Agenda "4 3"
ui_key Return
ui_wait_grid 10 Agenda "4 0"
ui_key Return
ui_wait_grid 10 Agenda "4 1"
ui_key Return
ui_wait_grid 10 Agenda "4 3"
# No match: the selection stays.
ui_key End shift+Home BackSpace
ui_type "xyz"
ui_key Return
ui_key End shift+Home BackSpace
ui_type "bru"
ui_key Return
ui_wait_grid 10 Agenda "4 2"

# Editing with Alt+E: the dialog comes up with the selected entry; the new telephone is
# saved, the order kept.
ui_key alt+e
ui_wait_window 10 Agenda "&Nome:"
ui_wait_focus 10 Agenda 101
ui_window_up Agenda "Bruno" || harness_fail "the entry dialog does not show the selected name"
ui_key alt+t
ui_type "301"
ui_key Return
ui_wait_gone 10 Agenda "&Nome:"
ui_wait_book 10 "$BOOK" "ana;218" "Ana;21555" "Bruno;301" "Zé;219876543"

# Editing with a double click on a row: renaming re-sorts the book.
row_centre() {
  local grid header
  ui_dump
  grid=$(_ui_visible | awk -F'\t' '$1 == "C" && $2 == "Agenda" && $5 == "SysListView32" { print $6; exit }')
  header=$(_ui_visible | awk -F'\t' '$1 == "C" && $2 == "Agenda" && $5 == "SysHeader32" { print $6; exit }')
  IFS=, read -r gl _ _ _ <<<"$grid"
  IFS=, read -r _ _ _ hb <<<"$header"
  echo "$((gl + 60)) $((hb + 16 * $1 + 8))"
}
# shellcheck disable=SC2046
xdotool mousemove $(row_centre 3) click --repeat 2 --delay 100 1
ui_wait_window 10 Agenda "&Nome:"
ui_wait_focus 10 Agenda 101
ui_window_up Agenda "Zé" || harness_fail "double click did not edit the row of Zé"
ui_key alt+n
ui_type "Abel"
ui_key Return
ui_wait_gone 10 Agenda "&Nome:"
ui_wait_book 10 "$BOOK" "Abel;219876543" "ana;218" "Ana;21555" "Bruno;301"

# Removing with Alt+R: "Não" keeps the entry, "Sim" removes it.
ui_key alt+r
ui_wait_box 10 "Deseja eliminar este registo?"
ui_click_control Sonavi "&Não"
ui_wait_gone 10 Sonavi "&Não"
ui_book_is "$BOOK" "Abel;219876543" "ana;218" "Ana;21555" "Bruno;301" ||
  harness_fail "answering No removed an entry"
# Delete with the focus in the grid, after a click on the row of Ana.
# shellcheck disable=SC2046
xdotool mousemove $(row_centre 2) click 1
ui_wait_grid 10 Agenda "4 2"
ui_key Delete
ui_wait_box 10 "Deseja eliminar este registo?"
ui_click_control Sonavi "&Sim"
ui_wait_book 10 "$BOOK" "Abel;219876543" "ana;218" "Bruno;301"

# Alt+Z shows the hidden diagnostic window; in the phone book again, Alt+Z hides it.
ui_key alt+z
ui_wait_window 10 Form1 "enviar"
# A click on the part of the phone book that the diagnostic window leaves uncovered.
IFS=, read -r _ top right bottom <<<"$(ui_window_rect Agenda)"
xdotool mousemove "$((right - 8))" "$(((top + bottom) / 2))" click 1
ui_wait_foreground 10 Agenda
ui_wait_focus 10 Agenda 201
ui_key alt+z
ui_wait_gone 10 Form1

# Emptying the book leaves one blank row, stored as ";".
ui_key alt+r
ui_wait_box 10 "Deseja eliminar este registo?"
ui_key Return
ui_wait_book 10 "$BOOK" "Abel;219876543" "ana;218"
for _ in 1 2; do
  ui_key alt+r
  ui_wait_box 10 "Deseja eliminar este registo?"
  ui_key Return
  ui_wait_gone 10 Sonavi "&Sim"
done
ui_wait_book 10 "$BOOK" ";"
ui_wait_grid 10 Agenda "1 0"

# Escape hides the window.
ui_key Escape
ui_wait_gone 10 Agenda "&Procurar"
sonavi_running || harness_fail "the program ended"
harness_pass
