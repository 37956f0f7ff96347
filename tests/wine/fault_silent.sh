#!/bin/bash
# A modem that stops answering commands for a long while and then answers again: every
# supervision run meanwhile fails without harming the program, calls still come through
# (rings and numbers are not answers), and the first run after the modem answers again
# switches caller ID back on. The runs are started by confirming the options dialog, as
# the user would, instead of waiting a minute for each.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

harness_init fault_silent
faults_start_ready --ring-interval 1000

fakemodem_control "silent on"
before=$(harness_log_count '^[0-9]+ AT$')
faults_options_ok
# A call while the modem answers nothing.
fakemodem_control "call 215000001 1"
faults_wait_calls 215000001 1
faults_options_ok
# Each run asked "AT" and, unanswered, stopped there.
ats=$(($(harness_log_count '^[0-9]+ AT$') - before))
[[ $ats -eq 2 ]] || harness_fail "expected 2 unanswered AT, the modem saw $ats"
[[ $(harness_log_count '^[0-9]+ ATZ$') -eq 1 ]] || harness_fail "ATZ sent to a silent modem"
sonavi_running || harness_fail "the program ended"

fakemodem_control "silent off"
faults_options_ok
faults_wait_ready 2 30
fakemodem_control "call 215000002 1"
faults_wait_calls 215000002 1
for number in 215000001 215000002; do
  [[ $(faults_call_count $number) -eq 1 ]] || harness_fail "$number not recorded exactly once"
done
harness_pass
