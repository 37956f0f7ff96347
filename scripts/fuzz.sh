#!/bin/bash
# Builds the libFuzzer targets with clang and runs each for a set time (default 60 s).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Targets: monitor_tick modem_command data_files settings port_list serial_port (default: all).
# Each run starts from the seeds in fuzz/corpus/<target>/ and grows a working corpus in
# build/fuzz/corpus/<target>/; an input that fails is saved in build/fuzz/artifacts/.
# Prints one line per target: its time, executions, and whether it ran clean.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SECONDS_EACH=${1:-60}
shift || true
TARGETS=("$@")
((${#TARGETS[@]})) || TARGETS=(monitor_tick modem_command data_files settings port_list serial_port)

need=()
for p in clang libclang-rt-14-dev cmake ninja-build; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if ((${#need[@]})); then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

BUILD=$ROOT/build/fuzz
CC=clang CXX=clang++ cmake -S fuzz -B "$BUILD" -G Ninja -DSONAVI_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 2 >/dev/null

status=0
summary=()
for t in "${TARGETS[@]}"; do
  corpus=$BUILD/corpus/$t
  artifacts=$BUILD/artifacts/$t/
  log=$BUILD/$t.log
  mkdir -p "$corpus" "$artifacts"
  start=$(date +%s)
  if "$BUILD/${t}_fuzz" "$corpus" "fuzz/corpus/$t" -max_total_time="$SECONDS_EACH" \
       -timeout=10 -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts" \
       >"$log" 2>&1; then
    result=clean
  else
    result="FAILED (see $log)"
    status=1
  fi
  elapsed=$(($(date +%s) - start))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  summary+=("$(printf '%-14s %6ss %12s runs  cov %-5s %s' "$t" "$elapsed" "${runs:-?}" "${cov:-?}" "$result")")
done
printf '%s\n' "${summary[@]}"
exit $status
