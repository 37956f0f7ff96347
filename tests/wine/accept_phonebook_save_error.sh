#!/bin/bash
# A save that fails: something in the way of agenda.dat's replacement (a folder where the
# new file is written first). Adding an entry shows the error box, agenda.dat keeps its
# old contents whole, and the entry stays in the window; once the way is clear, the next
# change saves everything.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_phonebook_save_error
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
mkdir -p "$HARNESS_DIR/app"
BOOK="$HARNESS_DIR/app/agenda.dat"
ui_book_bytes "Ana;219876543" "Bruno;21" >"$BOOK"
cp "$BOOK" "$HARNESS_DIR/agenda.before"
sonavi_start --desktop
harness_wait_log '^[0-9]+ AT#CID=1$' 30
ui_wait_started 30
ui_tray_click double
ui_wait_window 10 Agenda "&Procurar"
ui_wait_foreground 10 Agenda
ui_wait_focus 10 Agenda 202

mkdir "$BOOK.tmp"
ui_key alt+a
ui_wait_window 10 Agenda "&Nome:"
ui_wait_focus 10 Agenda 101
ui_type "Carla"
ui_key Tab
ui_type "22"
ui_key Return
# The standard error box: the system's text of the error, under the program's title.
_ui_error_box() {
  ui_dump
  _ui_visible | awk -F'\t' '$1 == "W" && $5 == "#32770" && $6 == "Sonavi" { found = 1 } END { exit !found }'
}
harness_wait_for 10 "the program's error box" _ui_error_box
harness_log "error box: $(ui_box_text | tr '\n' ' ')"
cmp -s "$BOOK" "$HARNESS_DIR/agenda.before" || harness_fail "agenda.dat changed on a failed save"
ui_key Return
_ui_no_box() { [[ -z "$(ui_box_text)" ]]; }
harness_wait_for 10 "the error box to close" _ui_no_box
cmp -s "$BOOK" "$HARNESS_DIR/agenda.before" || harness_fail "agenda.dat changed on a failed save"
# The entry stays in the table.
ui_wait_grid 10 Agenda "3 0"

rmdir "$BOOK.tmp"
ui_key alt+a
ui_wait_window 10 Agenda "&Nome:"
ui_wait_focus 10 Agenda 101
ui_type "Abel"
ui_key Tab
ui_type "23"
ui_key Return
ui_wait_book 10 "$BOOK" "Abel;23" "Ana;219876543" "Bruno;21" "Carla;22"
[[ -z "$(ui_box_text)" ]] || harness_fail "an error box after a good save"
harness_pass
