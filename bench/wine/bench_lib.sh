# shellcheck shell=bash
# Sourced by the Wine benchmarks after tests/wine/lib/harness.sh and faults.sh.
#
#   bench_raw_us                   now on CLOCK_MONOTONIC_RAW in microseconds, the clock of
#                                  Wine's QueryPerformanceCounter and of fakemodem --log-sent
#   bench_launch_us FILE CMD...    writes the launch time to FILE, then becomes CMD in a
#                                  session of its own (so its process group can be ended)
#   bench_stats                    reads numbers (ms), prints "n median p90 worst"
#   bench_result NAME TEXT         appends a result line to $BENCH_RESULTS

: "${BENCH_RESULTS:=$SONAVI_BUILD/bench-wine/results.txt}"
mkdir -p "$(dirname "$BENCH_RESULTS")"

bench_raw_us() {
  python3 -c 'import time; print(time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 1000)'
}

# Replaces the calling (sub)shell, so that $! of "( bench_launch_us ... ) &" is the
# launched program's process and process group.
bench_launch_us() {
  local file=$1
  shift
  exec python3 -c '
import os, sys, time
with open(sys.argv[1], "w") as f:
    f.write("%d\n" % (time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW) // 1000))
os.setsid()
os.execvp(sys.argv[2], sys.argv[2:])
' "$file" "$@"
}

bench_stats() {
  LC_ALL=C sort -n | LC_ALL=C awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "0 - - -"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    p = v[int(NR * 0.9 + 0.999)]
    printf "%d %.1f %.1f %.1f\n", NR, m, p, v[NR] }'
}

bench_result() {
  printf '%-22s %s\n' "$1" "$2" | tee -a "$BENCH_RESULTS"
}
