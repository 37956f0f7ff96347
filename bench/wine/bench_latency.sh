#!/bin/bash
# Latency of a call's announcement on the real Win32 path: from the last byte of the
# modem's NMBR line leaving the simulated modem to the caller's balloon request reaching
# the shell, over BENCH_CALLS calls (default 100). Both ends are timed on the host's
# CLOCK_MONOTONIC_RAW (Wine's QueryPerformanceCounter).
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$SONAVI_SOURCE/tests/wine/lib/faults.sh"
# shellcheck source=bench/wine/bench_lib.sh
source "$SONAVI_SOURCE/bench/wine/bench_lib.sh"

CALLS=${BENCH_CALLS:-100}
BENCH_EXE="$SONAVI_BUILD/bench-wine/wine_bench.exe"
[[ -f "$BENCH_EXE" ]] || harness_fail "no $BENCH_EXE (build the target wine_bench)"

harness_init bench_latency
fakemodem_start --ring-interval 1000 --log-sent "$HARNESS_DIR/sent.log"
harness_map_port COM5
out="$HARNESS_DIR/shell.log"
: >"$out"
(cd "$HARNESS_DIR" && exec setsid "$WINE" "$BENCH_EXE" COM5 "Z:$out" "$CALLS" \
  >"$HARNESS_DIR/bench.out" 2>&1 </dev/null) &
SONAVI_PID=$!  # ended by the harness's cleanup like the program
harness_wait_log '^[0-9]+ AT#CID=1$' 30
# The outcome of the initialisation changes the tray picture.
harness_wait_for 10 "the initialisation's outcome" grep -q ' modify$' "$out"

_balloon_for() { grep -aqF -- ": $1." "$out"; }
for ((i = 0; i < CALLS; i++)); do
  number=$(printf '219%06d' "$i")
  fakemodem_control "call $number 1"
  harness_wait_for 10 "the balloon for call $i" _balloon_for "$number"
  # A little time after each call, so that calls start at every phase of the timers.
  sleep "0.$((RANDOM % 10))"
done

# Per call: when its NMBR line had left the modem, when the parser took the block that
# held it, when the monitor asked for the balloon, and when the request reached the shell.
for ((i = 0; i < CALLS; i++)); do
  number=$(printf '219%06d' "$i")
  sent=$(grep -aF "NMBR = $number" "$HARNESS_DIR/sent.log" | cut -d' ' -f1)
  filed=$(grep -a '^[0-9]* filed ' "$out" | grep -aF ": $number." | cut -d' ' -f1)
  shown=$(grep -a '^[0-9]* info ' "$out" | grep -aF ": $number." | cut -d' ' -f1)
  [[ -n "$sent" && -n "$filed" && -n "$shown" ]] || harness_fail "call $number not timed"
  taken=$(awk -v filed="$filed" '$2 == "cluster" && $1 <= filed { t = $1 } END { print t }' "$out")
  echo "$sent $taken $filed $shown"
done >"$HARNESS_DIR/timeline.txt"
_column_ms() { LC_ALL=C awk "{ printf \"%.1f\\n\", (\$$1 - \$$2) / 1000 }" "$HARNESS_DIR/timeline.txt"; }
_column_ms 4 1 >"$HARNESS_DIR/latencies.txt"
read -r n median p90 worst < <(bench_stats <"$HARNESS_DIR/latencies.txt")
bench_result "latency (ms)" "calls $n  median $median  p90 $p90  worst $worst"
read -r _ median p90 worst < <(_column_ms 2 1 | bench_stats)
bench_result "  line -> parser" "median $median  p90 $p90  worst $worst"
read -r _ median p90 worst < <(_column_ms 3 2 | bench_stats)
bench_result "  parser -> request" "median $median  p90 $p90  worst $worst"
read -r _ median p90 worst < <(_column_ms 4 3 | bench_stats)
bench_result "  request -> shell" "median $median  p90 $p90  worst $worst"
harness_pass
