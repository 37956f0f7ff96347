#!/bin/bash
# The hidden diagnostic window: Alt+Z in the phone book shows "Form1"; its simulation
# button "simular chamada 219876543" puts a call through the parser, which logs the four
# modem lines (blank lines are not logged) and records the call; "enviar" sends the typed
# command to the modem and its answer appears in the log. A picture of the window goes to
# $HARNESS_DIR (and to $SONAVI_SCREENSHOTS when set).
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/ui.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/ui.sh"

harness_init accept_diagnostic_panel
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
sonavi_start --desktop
CALLS="$HARNESS_DIR/app/listcham.dat"

harness_wait_log '^[0-9]+ AT#CID=1$' 30
ui_wait_started 30
ui_tray_click double
ui_wait_window 10 Agenda "&Procurar"
ui_wait_foreground 10 Agenda
ui_key alt+z
ui_wait_window 10 Form1 "simular chamada 219876543"

# The log holds what the modem said during the initialisation, echo included.
memo_has() { ui_dump && grep -q -- "$1" "$UI_DUMP"; }
harness_wait_for 10 "the initialisation in the log" memo_has "AT#CID=1"

ui_click_control Form1 "simular chamada 219876543"
harness_wait_for 10 "the simulated call in listcham.dat" grep -q ';219876543;' "$CALLS"
for line in "RING" "DATE = 0501" "TIME = 2054" "NMBR = 219876543"; do
  harness_wait_for 5 "'$line' in the log" memo_has "$line"
done
[[ $(grep -c ';219876543;' "$CALLS") -eq 1 ]] || harness_fail "the call was not recorded once"
sleep 0.5
ui_window_shot Form1 "$HARNESS_DIR/diagnostic.png"
if [[ -n "${SONAVI_SCREENSHOTS:-}" ]]; then cp "$HARNESS_DIR/diagnostic.png" "$SONAVI_SCREENSHOTS/"; fi

# "enviar" sends the text of the command box (initially "AT").
before=$(harness_log_count '^[0-9]+ AT$')
ui_click_control Form1 "enviar"
harness_wait_for 10 "a second AT at the modem" \
  test "$(harness_log_count '^[0-9]+ AT$')" -gt "$before"
harness_pass
