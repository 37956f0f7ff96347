#!/bin/bash
# The modem unplugged in the middle of a call and plugged in again, as a new device behind
# the same COM port. Nobody touches the program: its next supervision run (the 60 s timer)
# closes the port whose device has gone, opens the new one and switches caller ID on again.
# Every call is recorded exactly once. (The one scenario that waits for the timer.)
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

harness_init fault_unplug
faults_start_ready --ring-interval 1000
fakemodem_control "call 214000001 1"
faults_wait_calls 214000001 1

# Unplugged mid-call: the number has been reported, the rings still due never come.
fakemodem_control "call 214000002 3"
faults_wait_calls 214000002 1
fakemodem_control close
harness_wait_for 5 "the device to go" test ! -e "$FAKEMODEM_LINK"
faults_memo >/dev/null || harness_fail "the program does not answer with its modem gone"
fakemodem_reopen
commands_before=$(wc -l <"$FAKEMODEM_LOG")

# The timer's run, within a minute of the program's start.
faults_wait_ready 2 90
sonavi_running || harness_fail "the program ended"
# The new device was initialised from scratch, not asked whether caller ID was on.
first=$(tail -n +"$((commands_before + 1))" "$FAKEMODEM_LOG" | head -n 1 | cut -d' ' -f2-)
[[ "$first" == "AT" ]] || harness_fail "the new device was first sent '$first', not AT"

fakemodem_control "call 214000003 1"
faults_wait_calls 214000003 1
for number in 214000001 214000002 214000003; do
  [[ $(faults_call_count $number) -eq 1 ]] || harness_fail "$number not recorded exactly once"
done
lines=$(wc -l <"$SONAVI_APP_DIR/listcham.dat")
[[ $lines -eq 3 ]] || harness_fail "expected 3 recorded calls, found $lines"
harness_pass
