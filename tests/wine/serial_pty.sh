#!/bin/bash
# The serial port component under Wine against a pseudo-terminal mapped to COM5: opening,
# a write reaching the far end, the far end's bytes arriving as one cluster, closing.
set -euo pipefail
: "${SONAVI_BUILD:?}" "${SONAVI_SOURCE:?}"
source "$SONAVI_SOURCE/scripts/wine-env.sh"

work=$(mktemp -d)
peer_pid=
cleanup() {
  if [[ -n "$peer_pid" ]]; then kill "$peer_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

g++ -std=c++17 -O1 -Wall -Werror -o "$work/peer" "$SONAVI_SOURCE/tests/wine/serial_pty_peer.cpp"
"$work/peer" "$work/received" >"$work/peer.out" 2>&1 &
peer_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/peer.out" ]] && break
  sleep 0.1
done
pts=$(head -n 1 "$work/peer.out")
[[ "$pts" == /dev/pts/* ]] || { echo "no pseudo-terminal: $pts"; exit 1; }

wine_map_port COM5 "$pts"
SONAVI_TEST_COM=COM5 "$WINE" "$SONAVI_BUILD/win32_tests.exe" --gtest_filter='SerialPty*' \
  </dev/null

# What the far end received: exactly what the tests sent, in order.
expected=$(printf 'AT#CID=1 and some more text to echo\rA\0B\001\377AT\r' | od -An -tx1)
actual=$(od -An -tx1 <"$work/received")
if [[ "$expected" != "$actual" ]]; then
  echo "far end received:"; echo "$actual"; echo "expected:"; echo "$expected"
  exit 1
fi
echo "serial pty scenario passed"
