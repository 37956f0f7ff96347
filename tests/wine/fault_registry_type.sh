#!/bin/bash
# The port setting stored with the wrong type (a REG_DWORD "Port"): at start the error box
# says "Invalid data type for 'Port'" and the program keeps running; the user then picks
# the port in the options dialog, which stores it properly, and calls are recorded.
# Then a wrong "DesligAltif" with the port known, its error box left open: the timers run
# under it, so the supervision sets the modem up a minute after start, and a call that comes
# before the phone book and the call list exist is stored, with its name, once they do.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

readonly KEY='HKCU\Software\Borvane\Sonavi'

harness_init fault_registry_type
faults_remote_build
fakemodem_start --ring-interval 1000
harness_map_port COM5
"$WINE" reg add "$KEY" /v Port /t REG_DWORD /d 5 /f >/dev/null 2>&1
"$WINE" reg add "$KEY" /v DesligAltif /d 0 /f >/dev/null 2>&1
sonavi_start

harness_wait_for 30 "the error box" faults_remote error-box
text=$(faults_error_box_text)
[[ "$text" == "Invalid data type for 'Port'" ]] || harness_fail "error box says '$text'"
harness_screenshot error_box
faults_remote dismiss || harness_fail "the error box did not close"
sonavi_running || harness_fail "the program ended after the error box"
faults_memo >/dev/null || harness_fail "the main window does not answer"
faults_remote tray || harness_fail "no tray icon"
# Nothing was sent to the modem: no port was known.
[[ $(harness_log_count '.') -eq 0 ]] || harness_fail "commands reached the modem"

# The user chooses the port; the setting is stored as text and the modem is set up.
faults_options_ok COM5
faults_wait_ready 1 30
"$WINE" reg query "$KEY" /v Port 2>/dev/null | tr -d '\r' | grep -Eq 'Port +REG_SZ +COM5$' ||
  harness_fail "Port not stored as text"
fakemodem_control "call 216000001 1"
faults_wait_calls 216000001 1

sonavi_stop
"$WINE" reg add "$KEY" /v DesligAltif /t REG_DWORD /d 0 /f >/dev/null 2>&1
printf 'Ana;217000009\r\n' >"$SONAVI_APP_DIR/agenda.dat"
inits=$(harness_log_count '^[0-9]+ AT#CID=1$')
sonavi_start
harness_wait_for 30 "the error box" faults_remote error-box
text=$(faults_error_box_text)
[[ "$text" == "Invalid data type for 'DesligAltif'" ]] || harness_fail "error box says '$text'"
_set_up_again() { (($(harness_log_count '^[0-9]+ AT#CID=1$') > inits)); }
harness_wait_for 75 "the supervision under the error box" _set_up_again
faults_wait_ready 1 10
fakemodem_control 'send \r\nRING\r\n\r\nNMBR = 217000009\r\n'
_number_logged() { faults_memo | grep -qx 'NMBR = 217000009'; }
harness_wait_for 10 "the caller's line in the log" _number_logged
[[ "$(faults_error_box_text)" == "$text" ]] || harness_fail "the error box is gone"
faults_remote dismiss || harness_fail "the error box did not close"
faults_wait_calls 217000009 1
grep -q ';217000009;Ana'$'\r''$' "$SONAVI_APP_DIR/listcham.dat" ||
  harness_fail "the call was stored without its name: $(grep 217000009 "$SONAVI_APP_DIR/listcham.dat")"
harness_pass
