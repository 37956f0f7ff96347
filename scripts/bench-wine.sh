#!/bin/bash
# Benchmarks of the real Win32 path under Wine against the simulated modem (not tests:
# ctest does not run them): start-up time to the tray icon, CPU use while idle with the
# port open, and the latency from a caller's number leaving the modem to the balloon
# request reaching the shell. Builds what they need first. The results, with a
# description of the machine, go to build/win32/bench-wine/results.txt.
#   BENCH_CALLS (100), BENCH_IDLE_SECONDS (60), BENCH_STARTS (5) change the sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-2}

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$JOBS" --target fakemodem
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DSONAVI_FAKEMODEM="$ROOT/build/native/tools/fakemodem/fakemodem" >/dev/null
cmake --build build/win32 -j "$JOBS" --target sonavi wine_bench

export SONAVI_SOURCE=$ROOT SONAVI_BUILD=$ROOT/build/win32
export SONAVI_EXE=$SONAVI_BUILD/sonavi.exe
export SONAVI_FAKEMODEM=$ROOT/build/native/tools/fakemodem/fakemodem
export BENCH_RESULTS=$SONAVI_BUILD/bench-wine/results.txt
mkdir -p "$(dirname "$BENCH_RESULTS")"
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT

{
  echo "Wine benchmarks, $(date '+%Y-%m-%d %H:%M')"
  echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo) memory," \
    "Linux $(uname -r), $("$WINE" --version), display Xvfb"
  echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
} >"$BENCH_RESULTS"
cat "$BENCH_RESULTS"

bash bench/wine/bench_startup.sh 2>"$SONAVI_BUILD/bench-wine/startup.err"
bash bench/wine/bench_idle_cpu.sh 2>"$SONAVI_BUILD/bench-wine/idle_cpu.err"
bash bench/wine/bench_latency.sh 2>"$SONAVI_BUILD/bench-wine/latency.err"

# Targets: latency median <= 400 ms and worst <= 500 ms; idle CPU <= 1% of one core.
LC_ALL=C awk '
  /^latency \(ms\)/ { lat = ($6 <= 400 && $10 <= 500) ? "met" : "MISSED" }
  /^idle CPU, program/ { sub("%", "", $4); cpu = ($4 <= 1) ? "met" : "MISSED" }
  END { printf "targets: latency (median <= 400, worst <= 500 ms) %s; idle CPU (<= 1%%) %s\n", lat, cpu }
' "$BENCH_RESULTS" | tee -a "$BENCH_RESULTS"
