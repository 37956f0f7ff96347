#!/bin/bash
# The program in a folder whose name is outside Windows-1252 (Cyrillic and Greek letters,
# as a user's profile folder may be): the phone book beside it loads and shows its
# entries, an added entry is saved to it, a call is recorded in listcham.dat beside it,
# and "Sobre..." shows the version read from the exe itself.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_folder_any_script
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
top="$WINEPREFIX/drive_c/Програми_Ελλάδα"
app="$top/Sonavi"
rm -rf "$top"
mkdir -p "$app"
cp "$SONAVI_EXE" "$app/sonavi.exe"
ui_book_bytes "Ana;219876543" "Bruno;21" >"$app/agenda.dat"
sonavi_start --desktop "$app"
harness_wait_log '^[0-9]+ AT#CID=1$' 30
ui_wait_started 30

# The Agenda shows the two entries of the file.
ui_tray_click double
ui_wait_window 10 Agenda "&Procurar"
ui_wait_foreground 10 Agenda
_two_entries() { [[ "$(ui_grid Agenda)" == "2 "* ]]; }
harness_wait_for 10 "the Agenda's two entries" _two_entries

# An added entry is saved beside the program.
ui_wait_focus 10 Agenda 202
ui_key alt+a
ui_wait_window 10 Agenda "&Nome:"
ui_wait_focus 10 Agenda 101
ui_type "Carla"
ui_key Tab
ui_type "22"
ui_key Return
ui_wait_book 10 "$app/agenda.dat" "Ana;219876543" "Bruno;21" "Carla;22"
[[ -z "$(ui_box_text)" ]] || harness_fail "an error box after adding: $(ui_box_text)"
ui_key Escape
ui_wait_gone 10 Agenda

# A call from a number in the phone book is recorded with its name.
_cid_answered() {
  ui_dump
  awk -F'\t' '$1 == "C" && $5 == "Edit" && $9 ~ /AT#CID=1  OK/ { found = 1 } END { exit !found }' \
    "$UI_DUMP"
}
harness_wait_for 10 "the answer to AT#CID=1 in the diagnostic log" _cid_answered
fakemodem_control "call 219876543 1"
harness_wait_for 20 "the call in $app/listcham.dat" grep -q ';219876543;Ana' "$app/listcham.dat"

# "Sobre...": the version of the exe's own version resource.
version=$(sonavi_version)
ui_tray_click right
ui_menu_pick 4
ui_wait_window 10 "About..." "Version ${version%.*.*}   ($version)"
ui_window_shot "About..." "$HARNESS_DIR/about.png"
sonavi_stop

harness_pass
