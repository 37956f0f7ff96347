#!/bin/bash
# Builds and runs the native benchmarks (bench/), then prints a short table with the
# machine they ran on. Extra arguments go to the benchmark program, e.g.
#   scripts/bench.sh --benchmark_filter=Parser
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j 2 --target sonavi_bench >/dev/null

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
# The library's own table, without its preamble (its build type, the CPU caches).
build/native/bench/sonavi_bench --benchmark_format=console --benchmark_color=false "$@" 2>&1 |
  sed -n '/^-----/,$p'
