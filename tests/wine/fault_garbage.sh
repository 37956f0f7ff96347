#!/bin/bash
# The modem sends rubbish: random bytes, runs of NUL bytes, and a 1 MB line with no CR.
# The program keeps running, a normal call afterwards is recorded exactly once, and its
# memory grows by no more than the log of what it was sent.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

readonly LIMIT_KB=$((64 * 1024))

harness_init fault_garbage
faults_start_ready --ring-interval 1000
fakemodem_control "call 218000001 1"
faults_wait_calls 218000001 1
rss_before=$(faults_rss_kb)

# 16 KB of random bytes, as \xHH escapes.
random=$(head -c 16384 /dev/urandom | od -An -v -tx1 | tr -d ' \n' | sed 's/../\\x&/g')
fakemodem_control "send $random"
# NUL bytes: a line of them, and NUL bytes inside lines.
nuls=$(printf '\\x00%.0s' $(seq 1000))
fakemodem_control "send ${nuls}\\r\\nRI\\x00NG\\r\\n\\x00\\x00\\r\\n"
# A 1 MB line without CR, then a line end.
fakemodem_control "send $(head -c 1048576 /dev/zero | tr '\0' 'A')\\r\\n"
fakemodem_control "call 218000002 1"
faults_wait_calls 218000002 1 120
rss_after=$(faults_rss_kb)
harness_log "resident memory ${rss_before} KiB before, ${rss_after} KiB after"

sonavi_running || harness_fail "the program ended"
memo=$(faults_memo) || harness_fail "the main window does not answer"
# Every A arrived in the log (the line is cut where the blocks were cut).
as=$(tr -cd 'A' <<<"$memo" | wc -c)
((as >= 1048576)) || harness_fail "only $as of the 1048576 A bytes were logged"
[[ $(faults_call_count 218000001) -eq 1 && $(faults_call_count 218000002) -eq 1 ]] ||
  harness_fail "calls not recorded exactly once"
[[ $(wc -l <"$SONAVI_APP_DIR/listcham.dat") -eq 2 ]] || harness_fail "other lines were recorded"
((rss_after - rss_before < LIMIT_KB)) ||
  harness_fail "memory grew by $((rss_after - rss_before)) KiB (limit $LIMIT_KB KiB)"
harness_pass
