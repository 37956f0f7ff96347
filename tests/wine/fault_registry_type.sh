#!/bin/bash
# The port setting stored with the wrong type (a REG_DWORD "Port"): at start the error box
# says "Invalid data type for 'Port'" and the program keeps running; the user then picks
# the port in the options dialog, which stores it properly, and calls are recorded. Another
# program held agenda.dat open meanwhile: its read error shows only after the options dialog.
# Then a wrong "DesligAltif" with the port known, its error box left open: the timers run
# under it, so the supervision sets the modem up a minute after start; two calls under the
# box, 10 s apart, are each announced in a balloon and stored as they come, named from the
# phone book; "Agenda" in the tray menu works. Last, started again with the same fault:
# under its box the user sets the port in "Opções...", a call comes and "Sair" ends the
# program: the call is stored.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

readonly KEY='HKCU\Software\Borvane\Sonavi'

harness_init fault_registry_type
faults_remote_build
fakemodem_start --ring-interval 1000
harness_map_port COM5
"$WINE" reg add "$KEY" /v Port /t REG_DWORD /d 5 /f >/dev/null 2>&1
"$WINE" reg add "$KEY" /v DesligAltif /d 0 /f >/dev/null 2>&1
mkdir -p "$HARNESS_DIR/app"
book="$HARNESS_DIR/app/agenda.dat"
printf 'Ana;217000009\r\n' >"$book"
timeout 120 "$WINE" "$FAULTS_REMOTE" hold "Z:${book//\//\\}" >"$HARNESS_DIR/hold.out" 2>&1 \
  </dev/null &
holder=$!
harness_wait_for 10 "the hold on agenda.dat" grep -qx held "$HARNESS_DIR/hold.out"
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
# Only then the phone book's read error.
harness_wait_for 10 "the phone book's error box" faults_remote error-box
[[ "$(faults_error_box_text)" == "$(faults_remote syserr 32 | tr -d '\r\n')" ]] ||
  harness_fail "error box says '$(faults_error_box_text)', not the sharing violation"
harness_stop_pid "$holder"
faults_remote dismiss || harness_fail "the error box did not close"
faults_wait_ready 1 30
"$WINE" reg query "$KEY" /v Port 2>/dev/null | tr -d '\r' | grep -Eq 'Port +REG_SZ +COM5$' ||
  harness_fail "Port not stored as text"
fakemodem_control "call 216000001 1"
faults_wait_calls 216000001 1

sonavi_stop
"$WINE" reg add "$KEY" /v DesligAltif /t REG_DWORD /d 0 /f >/dev/null 2>&1
inits=$(harness_log_count '^[0-9]+ AT#CID=1$')
sonavi_start
harness_wait_for 30 "the error box" faults_remote error-box
text=$(faults_error_box_text)
[[ "$text" == "Invalid data type for 'DesligAltif'" ]] || harness_fail "error box says '$text'"
_set_up_again() { (($(harness_log_count '^[0-9]+ AT#CID=1$') > inits)); }
harness_wait_for 75 "the supervision under the error box" _set_up_again
faults_wait_ready 1 10
caller='Está a receber uma chamada telefónica'
# NUMBER NAME CAME: listcham.dat holds the call with its name, stamped within 2 s of CAME.
_stored_as_it_came() {
  local line at
  line=$(grep -- ";$1;$2"$'\r' "$SONAVI_APP_DIR/listcham.dat") || harness_fail "call $1 not stored"
  at=$(date -d "$(awk -F'[-;]' '{ print $3 "-" $2 "-" $1 " " $4 }' <<<"$line")" +%s)
  ((at - $3 <= 2 && $3 - at <= 2)) || harness_fail "call $1 of $(date -d "@$3" +%T) stored as $line"
}
came=$(date +%s)
fakemodem_control "call 217000009 1"
tray_wait_balloon 10 "$caller de Ana (217000009)."
_stored_as_it_came 217000009 Ana "$came"
until (($(date +%s) >= came + 10)); do sleep 0.1; done
came=$(date +%s)
fakemodem_control "call 217000002 1"
tray_wait_balloon 10 "$caller originária do número: 217000002."
_stored_as_it_came 217000002 '' "$came"
harness_screenshot calls_under_the_box
tray_menu 0
probe_wait_window 10 SonaviForm Agenda >/dev/null
[[ "$(faults_error_box_text)" == "$text" ]] || harness_fail "the error box is gone"
faults_remote dismiss || harness_fail "the error box did not close"

sonavi_stop
sonavi_start
harness_wait_for 30 "the error box" faults_remote error-box
faults_options_ok COM5
fakemodem_control "call 217000003 1"
_number_logged() { faults_memo | grep -qx 'NMBR = 217000003'; }
harness_wait_for 10 "the caller's line in the log" _number_logged
tray_menu 4
harness_wait_for 20 "the program to end" eval '! sonavi_running'
[[ $(faults_call_count 217000003) -eq 1 ]] || harness_fail "the call heard before 'Sair' is not stored"
harness_pass
