#!/bin/bash
# The simulated modem reaches a Windows program as COM5: the serial calls the program uses
# open the port, send "AT" and read back the echo and "OK".
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"

harness_init fakemodem_smoke
fakemodem_start
harness_map_port COM5
harness_run_win32_tests 'SimulatedModemPort.*' COM5
harness_wait_log '^[0-9]+ AT$' 5
harness_wait_log '^[0-9]+ AT#CID\?$' 5
harness_pass
