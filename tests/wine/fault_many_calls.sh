#!/bin/bash
# 300 calls in a row, in bursts of 20 (a ring and a number each) that the modem sends
# without a pause: every call is recorded exactly once and in order.
# SONAVI_MANY_CALLS_BURSTS=500 makes it 10 000 calls (about 11 minutes).
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/faults.sh"

readonly BURSTS=${SONAVI_MANY_CALLS_BURSTS:-15} PER_BURST=20

harness_init fault_many_calls
faults_start_ready

# Each burst leaves in one write and is one block for the program (it is read about 0.9 s
# after it arrived); the pause between bursts is longer than that, so a block never holds
# part of a line.
for ((b = 0; b < BURSTS; b++)); do
  burst=""
  for ((c = 0; c < PER_BURST; c++)); do
    burst+=$(printf '\\r\\nRING\\r\\n\\r\\nNMBR = 219%06d\\r\\n' $((b * PER_BURST + c)))
  done
  fakemodem_control "send $burst"
  sleep 1.3
done
total=$((BURSTS * PER_BURST))
last=$(printf '219%06d' $((total - 1)))
faults_wait_calls "$last" 1 30

log="$SONAVI_APP_DIR/listcham.dat"
[[ $(wc -l <"$log") -eq $total ]] || harness_fail "expected $total lines, found $(wc -l <"$log")"
expected=$(for ((i = 0; i < total; i++)); do printf '219%06d\n' "$i"; done)
recorded=$(cut -d';' -f3 "$log")
[[ "$recorded" == "$expected" ]] || harness_fail "calls missing, doubled or out of order"
memo=$(faults_memo)
rings=$(grep -cx RING <<<"$memo")
[[ $rings -eq $total ]] || harness_fail "$rings RING lines logged"
harness_pass
