#!/bin/bash
# "listcham.dat" cannot be written while a call arrives (a folder of that name stands in
# its place): the error box shows the system's text for the failure, the modem lines after
# the number line are still logged, the caller is still announced, and once the file can be
# written again the next call is recorded. Nothing the modem sent is lost.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

harness_init fault_calllog_unwritable
faults_start_ready --ring-interval 1000
fakemodem_control "call 217000001 1"
faults_wait_calls 217000001 1

log="$SONAVI_APP_DIR/listcham.dat"
mv "$log" "$HARNESS_DIR/listcham.kept"
mkdir "$log"
# One block: a ring, the number, and two lines after it.
fakemodem_control 'send \r\nRING\r\n\r\nNMBR = 217000002\r\n\r\nAFTER ONE\r\n\r\nAFTER TWO\r\n'
harness_wait_for 20 "the error box" faults_remote error-box
text=$(faults_error_box_text)
# Wine refuses to open a folder for appending with access denied.
expected=$(faults_remote syserr 5 | tr -d '\r\n')
[[ -n "$expected" && "$text" == "$expected" ]] ||
  harness_fail "error box says '$text', expected the system's '$expected'"
harness_screenshot error_box
# The caller is announced all the same (the ring's balloon, asked for in the same tick, is
# replaced by the caller's before the tray draws it).
tray_wait_balloon 20 "Está a receber uma chamada telefónica originária do número: 217000002."
# The ticks go on under the error box: the lines after the number are logged.
_after_logged() { faults_memo | grep -qx 'AFTER TWO'; }
harness_wait_for 10 "the lines after the number in the log" _after_logged
memo=$(faults_memo)
for line in RING 'NMBR = 217000002' 'AFTER ONE' 'AFTER TWO'; do
  [[ $(grep -cx -- "$line" <<<"$memo") -ge 1 ]] || harness_fail "'$line' not logged"
done
[[ $(grep -cx -- 'AFTER TWO' <<<"$memo") -eq 1 ]] || harness_fail "lines logged twice"

# Writable again: the box is closed and the next call is recorded.
rmdir "$log"
mv "$HARNESS_DIR/listcham.kept" "$log"
faults_remote dismiss || harness_fail "the error box did not close"
sonavi_running || harness_fail "the program ended"
fakemodem_control "call 217000003 1"
faults_wait_calls 217000003 1
[[ $(faults_call_count 217000001) -eq 1 && $(faults_call_count 217000003) -eq 1 ]] ||
  harness_fail "calls not recorded exactly once"
[[ $(faults_call_count 217000002) -eq 0 ]] || harness_fail "the refused call was stored"
[[ $(wc -l <"$log") -eq 2 ]] || harness_fail "listcham.dat holds $(wc -l <"$log") lines"
harness_pass
