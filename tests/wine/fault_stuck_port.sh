#!/bin/bash
# A device that stops taking what the program writes and never recovers, though it does not
# hang up (held-off flow control, a stuck driver). Under Wine each send to it ends at its
# write time-out with ERROR_TIMEOUT (1460), a code that says nothing of a device gone, and the
# modem leaves "AT" unanswered: the program must take the device as gone all the same, so
# that the next supervision run closes the port and opens it again, which reaches the device
# that took the stuck one's place. The runs are started by confirming the options dialog.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

harness_init fault_stuck_port
faults_start_ready --ring-interval 1000
fakemodem_control "call 216000001 1"
faults_wait_calls 216000001 1

paths=$(wc -l <"$HARNESS_DIR/modem.out")
fakemodem_control stall
harness_wait_for 5 "the new device" _harness_more_paths "$paths"
commands_before=$(wc -l <"$FAKEMODEM_LOG")

# The first run's "AT" goes to the stuck device, unanswered; the next run reopens the
# port. (The worker takes the device as gone a pass after the unanswered 2 s, which
# is over before the next run can start; a third run is allowed all the same, so that
# only a program that does not reopen fails.)
runs=0
until _faults_ready_at_least 2; do
  ((runs < 3)) || harness_fail "no run reopened the port ($runs runs)"
  faults_options_ok
  runs=$((runs + 1))
done
harness_log "caller ID on the new device after $runs runs"
sonavi_running || harness_fail "the program ended"
first=$(tail -n +"$((commands_before + 1))" "$FAKEMODEM_LOG" | head -n 1 | cut -d' ' -f2-)
[[ "$first" == "AT" ]] || harness_fail "the new device was first sent '$first', not AT"

fakemodem_control "call 216000002 1"
faults_wait_calls 216000002 1
for number in 216000001 216000002; do
  [[ $(faults_call_count $number) -eq 1 ]] || harness_fail "$number not recorded exactly once"
done
harness_pass
