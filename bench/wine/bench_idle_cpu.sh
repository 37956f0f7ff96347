#!/bin/bash
# CPU use of the real program while it waits with the modem's port open: the CPU time of
# its Wine process (and, for the record, of the Wine server) over BENCH_IDLE_SECONDS
# (default 60), after caller ID has been switched on.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$SONAVI_SOURCE/tests/wine/lib/faults.sh"
# shellcheck source=bench/wine/bench_lib.sh
source "$SONAVI_SOURCE/bench/wine/bench_lib.sh"

SECONDS_IDLE=${BENCH_IDLE_SECONDS:-60}
HZ=$(getconf CLK_TCK)

harness_init bench_idle_cpu
faults_remote_build
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
sonavi_start
faults_wait_ready 1 30

# The Wine server of this prefix works in a folder named after the prefix's device and
# inode: .../server-DEV-INODE.
server_dir=$(printf '/server-%x-%x' "$(stat -c '%d' "$WINEPREFIX")" "$(stat -c '%i' "$WINEPREFIX")")
server_pid=""
for cwd in /proc/[0-9]*/cwd; do
  if [[ "$(readlink "$cwd" 2>/dev/null)" == *"$server_dir" &&
    "$(cat "${cwd%/cwd}/comm" 2>/dev/null)" == wineserver* ]]; then
    server_pid=${cwd#/proc/}
    server_pid=${server_pid%/cwd}
  fi
done
_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }

program_before=$(faults_cpu_ticks)
server_before=$([[ -n "$server_pid" ]] && _ticks "$server_pid" || echo 0)
started=$(bench_raw_us)
sleep "$SECONDS_IDLE"
ended=$(bench_raw_us)
program_after=$(faults_cpu_ticks)
server_after=$([[ -n "$server_pid" ]] && _ticks "$server_pid" || echo 0)
sonavi_running || harness_fail "the program ended"

_percent() {
  LC_ALL=C awk -v t="$1" -v hz="$HZ" -v us="$((ended - started))" \
    'BEGIN { printf "%.2f%% of one core (%.2f s CPU in %.1f s)", 100 * t / hz / (us / 1e6), t / hz, us / 1e6 }'
}
bench_result "idle CPU, program" "$(_percent $((program_after - program_before)))"
if [[ -n "$server_pid" ]]; then
  bench_result "idle CPU, wineserver" "$(_percent $((server_after - server_before)))"
fi
harness_pass
