#!/bin/bash
# Start-up time to the tray icon, BENCH_STARTS times (default 5) each:
#  - the real program: from launching it under Wine until its tray icon's window exists
#    (the remote control, started beforehand, polls for it every 2 ms; the icon goes into
#    the tray right after that window is made);
#  - the benchmark program (the same serial port, monitor and tray icon without the other
#    windows): from launching it until its NIM_ADD request reaches the shell.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$SONAVI_SOURCE/tests/wine/lib/faults.sh"
# shellcheck source=bench/wine/bench_lib.sh
source "$SONAVI_SOURCE/bench/wine/bench_lib.sh"

STARTS=${BENCH_STARTS:-5}
BENCH_EXE="$SONAVI_BUILD/bench-wine/wine_bench.exe"
[[ -f "$BENCH_EXE" ]] || harness_fail "no $BENCH_EXE (build the target wine_bench)"

harness_init bench_startup
faults_remote_build
fakemodem_start
harness_map_port COM5
harness_settings COM5 0
SONAVI_APP_DIR="$HARNESS_DIR/app"
mkdir -p "$SONAVI_APP_DIR"
cp "$SONAVI_EXE" "$SONAVI_APP_DIR/sonavi.exe"

PROBE_PID=""
trap 'status=$?; harness_stop_pid "$PROBE_PID"; (exit $status); harness_cleanup' EXIT
_lines_at_least() { (($(wc -l <"$1") >= $2)); }
_ms_between() { LC_ALL=C awk -v a="$(head -n 1 "$1")" -v b="$2" 'BEGIN { printf "%.1f\n", (b - a) / 1000 }'; }

program=""
for ((i = 0; i < STARTS; i++)); do
  "$WINE" "$FAULTS_REMOTE" wait-tray >"$HARNESS_DIR/tray.$i" 2>/dev/null </dev/null &
  PROBE_PID=$!
  harness_wait_for 30 "the remote control" grep -q ready "$HARNESS_DIR/tray.$i"
  (cd "$SONAVI_APP_DIR" && bench_launch_us "$HARNESS_DIR/launch.$i" "$WINE" \
    "$SONAVI_APP_DIR/sonavi.exe" >"$HARNESS_DIR/sonavi.out" 2>&1 </dev/null) &
  SONAVI_PID=$!
  harness_wait_for 60 "the program's tray window" _lines_at_least "$HARNESS_DIR/tray.$i" 2
  program+="$(_ms_between "$HARNESS_DIR/launch.$i" "$(sed -n 2p "$HARNESS_DIR/tray.$i")")"$'\n'
  sonavi_stop
  harness_stop_pid "$PROBE_PID"
  PROBE_PID=""
done

bench=""
entry=""
in_program=""
for ((i = 0; i < STARTS; i++)); do
  (cd "$HARNESS_DIR" && bench_launch_us "$HARNESS_DIR/launch_bench.$i" "$WINE" "$BENCH_EXE" \
    COM5 "Z:$HARNESS_DIR/bench.$i" 1 >"$HARNESS_DIR/bench.out" 2>&1 </dev/null) &
  SONAVI_PID=$!
  harness_wait_for 60 "the benchmark's tray icon" grep -q ' add$' "$HARNESS_DIR/bench.$i"
  added=$(grep ' add$' "$HARNESS_DIR/bench.$i" | cut -d' ' -f1)
  bench+="$(_ms_between "$HARNESS_DIR/launch_bench.$i" "$added")"$'\n'
  # Split at the program's entry: Wine starting the process, then the program's own work.
  grep ' start$' "$HARNESS_DIR/bench.$i" | cut -d' ' -f1 >"$HARNESS_DIR/entry.$i"
  entry+="$(_ms_between "$HARNESS_DIR/launch_bench.$i" "$(cat "$HARNESS_DIR/entry.$i")")"$'\n'
  in_program+="$(_ms_between "$HARNESS_DIR/entry.$i" "$added")"$'\n'
  sonavi_stop
done

read -r n median _ worst < <(printf '%s' "$program" | bench_stats)
bench_result "start-up, program (ms)" "starts $n  median $median  worst $worst"
read -r n median _ worst < <(printf '%s' "$bench" | bench_stats)
bench_result "start-up, bench (ms)" "starts $n  median $median  worst $worst"
read -r n median _ worst < <(printf '%s' "$entry" | bench_stats)
bench_result "  launch -> entry" "median $median  worst $worst"
read -r n median _ worst < <(printf '%s' "$in_program" | bench_stats)
bench_result "  entry -> NIM_ADD" "median $median  worst $worst"
harness_pass
