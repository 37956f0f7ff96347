#!/bin/bash
# The call list: calls the modem reports show up in "Lista de Chamadas" (opened from the
# tray menu) and in listcham.dat; "Limpar" in the grid's popup menu asks first, keeps
# everything on "Não" and empties the list on "Sim"; Escape hides the window.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_calllist
fakemodem_start --ring-interval 1500
harness_map_port COM5
harness_settings COM5 0
mkdir -p "$HARNESS_DIR/app"
printf 'Ana;219876543\r\n' >"$HARNESS_DIR/app/agenda.dat"
sonavi_start --desktop
CALLS="$HARNESS_DIR/app/listcham.dat"

harness_wait_log '^[0-9]+ AT#CID=1$' 30
ui_wait_started 30
# The modem's "OK" to AT#CID=1 has been taken in (the diagnostic log shows it) before the
# first ring, so that the two do not arrive in one block.
_cid_answered() {
  ui_dump
  awk -F'\t' '$1 == "C" && $5 == "Edit" && $9 ~ /AT#CID=1  OK/ { found = 1 } END { exit !found }' \
    "$UI_DUMP"
}
harness_wait_for 10 "the answer to AT#CID=1 in the diagnostic log" _cid_answered

fakemodem_control "call 219876543 2"
harness_wait_for 20 "the first call in listcham.dat" grep -q ';219876543;Ana' "$CALLS"
fakemodem_control "call 912345678 2"
harness_wait_for 20 "the second call in listcham.dat" grep -q ';912345678;' "$CALLS"
DATE='[0-9]{2}-[0-9]{2}-[0-9]{4};[0-9]{2}:[0-9]{2}:[0-9]{2}'
grep -Eq "^$DATE;219876543;Ana"$'\r'"\$" <(sed -n 1p "$CALLS") ||
  harness_fail "first line of listcham.dat: $(sed -n 1p "$CALLS" | od -c)"
grep -Eq "^$DATE;912345678;"$'\r'"\$" <(sed -n 2p "$CALLS") ||
  harness_fail "second line of listcham.dat: $(sed -n 2p "$CALLS" | od -c)"
[[ $(wc -l <"$CALLS") -eq 2 ]] || harness_fail "listcham.dat holds more than the two calls"
cp "$CALLS" "$HARNESS_DIR/listcham.before"

# "Lista de Chamadas" from the tray menu: both calls, the newest selected.
ui_tray_click right
ui_menu_pick 2
ui_wait_window 10 "Lista de Chamadas"
ui_wait_foreground 10 "Lista de Chamadas"
ui_wait_grid 10 "Lista de Chamadas" "2 1"
ui_window_shot "Lista de Chamadas" "$HARNESS_DIR/call_list.png"

# Right click in the grid, "Limpar", and "Não": nothing changes.
read -r gx gy <<<"$(ui_control_centre "Lista de Chamadas" "")"
open_limpar() {
  xdotool mousemove "$gx" "$gy" click 3
  ui_menu_pick 1
  ui_wait_box 10 "Deseja eliminar todos os registos?"
}
open_limpar
ui_click_control Sonavi "&Não"
ui_wait_gone 10 Sonavi "&Não"
cmp -s "$CALLS" "$HARNESS_DIR/listcham.before" || harness_fail "answering No changed listcham.dat"
ui_wait_grid 10 "Lista de Chamadas" "2 1"

# "Sim": the file goes, one empty row stays.
open_limpar
ui_click_control Sonavi "&Sim"
ui_wait_gone 10 Sonavi "&Sim"
harness_wait_for 10 "listcham.dat to go" test ! -e "$CALLS"
ui_wait_grid 10 "Lista de Chamadas" "1 0"
ui_window_shot "Lista de Chamadas" "$HARNESS_DIR/call_list_empty.png"
# The row holds no text: below the title row the grid shows no dark pixel (with the two
# calls it shows hundreds).
dark=$(convert "$HARNESS_DIR/call_list_empty.png" -crop 560x260+16+52 +repage -colorspace Gray \
  -threshold 50% -negate -format '%[fx:mean*w*h]' info:)
[[ "${dark%.*}" -eq 0 ]] || harness_fail "the emptied list still shows text ($dark dark pixels)"

# Escape hides the window.
ui_key Escape
ui_wait_gone 10 "Lista de Chamadas"
harness_pass
