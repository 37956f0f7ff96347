#!/bin/bash
# The main job: the program opens the modem's port, switches caller ID on, and a call
# from a number in the phone book is logged, announced and stored in listcham.dat.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"

harness_init call_end_to_end
fakemodem_start --ring-interval 1500
harness_map_port COM5
harness_settings COM5 0
mkdir -p "$HARNESS_DIR/app"
printf 'Ana;219876543\r\n' > "$HARNESS_DIR/app/agenda.dat"
sonavi_start

harness_wait_log '^[0-9]+ AT$' 20
harness_wait_log '^[0-9]+ ATZ$' 10
harness_wait_log '^[0-9]+ AT#CID=1$' 10
# The modem's "OK" to AT#CID=1 must reach the program before the first ring, or both
# arrive in one block and the initialisation counts as failed until the next check.
sleep 1.5
fakemodem_control "call 219876543 2"
harness_wait_for 20 "the call in listcham.dat" \
  grep -q ';219876543;Ana' "$SONAVI_APP_DIR/listcham.dat"
harness_screenshot after_call
lines=$(grep -c '219876543' "$SONAVI_APP_DIR/listcham.dat")
[[ $lines -eq 1 ]] || harness_fail "expected one recorded call, found $lines"
grep -qE '^[0-9]{2}-[0-9]{2}-[0-9]{4};[0-9]{2}:[0-9]{2}:[0-9]{2};219876543;Ana'$'\r''$' \
  "$SONAVI_APP_DIR/listcham.dat" || harness_fail "call line not in the expected form"
harness_pass
