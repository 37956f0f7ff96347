#!/bin/bash
# At start the program initialises the modem once ("AT", "ATZ", "AT#CID=1"); a minute
# later its supervision only checks it ("AT#CID?") and, the modem answering "1", leaves it
# alone.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"

harness_init supervision_minute
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
sonavi_start

harness_wait_log '^[0-9]+ AT#CID=1$' 30
harness_wait_log '^[0-9]+ AT#CID\?$' 75
sleep 3
commands=$(sed -E 's/^[0-9]+ //' "$FAKEMODEM_LOG" | tr '\n' ' ')
[[ "$commands" == "AT ATZ AT#CID=1 AT#CID? " ]] ||
  harness_fail "expected one initialisation and one check, the modem got: $commands"

harness_pass
