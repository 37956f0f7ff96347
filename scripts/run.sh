#!/bin/bash
# A short guided demo of Sonavi's main job: the real sonavi.exe under Wine, talking to a
# simulated voice modem on a pseudo-terminal mapped to COM5. The modem is switched to
# caller ID, then a call from a number in the phone book and a withheld call come in.
#
# With a display (DISPLAY set) the program stays running in a Wine desktop window until
# you choose "Sair" in its tray menu (bottom right of that window) or press Ctrl+C here.
# Headless, it takes screenshots, prints the call list and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/deps.sh

say() { printf '\n\033[1m==> %s\033[0m\n' "$*"; }

say "Building (native tools and the Windows program)"
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native --target fakemodem >/dev/null
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DSONAVI_FAKEMODEM="$ROOT/build/native/tools/fakemodem/fakemodem" >/dev/null
cmake --build build/win32 --target sonavi >/dev/null
ls -l build/win32/sonavi.exe

INTERACTIVE=0
[[ -n "${DISPLAY:-}" && -z "${CI:-}" ]] && INTERACTIVE=1

export SONAVI_BUILD=$ROOT/build/win32
# shellcheck source=tests/wine/lib/harness.sh
source tests/wine/lib/harness.sh
set +e +o pipefail
harness_init demo
HARNESS_DIR_DEMO=$HARNESS_DIR

say "Starting the simulated modem and mapping it to COM5"
fakemodem_start --ring-interval 2500
harness_map_port COM5
harness_settings COM5 0

say "Preparing a phone book beside the program (agenda.dat)"
mkdir -p "$HARNESS_DIR/app"
# The data files are Windows-1252 text with CR LF line ends.
printf 'Ana Silva;219876543\r\nBruno Costa;912345678\r\nZ\xe9 Maria;226543210\r\n' \
  >"$HARNESS_DIR/app/agenda.dat"
show_file() { iconv -f CP1252 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'; }
show_file "$HARNESS_DIR/app/agenda.dat"

say "Starting sonavi.exe in a Wine desktop"
sonavi_start --desktop
harness_wait_log '^[0-9]+ AT#CID=1$' 60
echo "The modem received (from fakemodem's log):"
sed 's/^/    /' "$FAKEMODEM_LOG"
sleep 2

say "A call from 219876543 (Ana Silva, in the phone book)"
fakemodem_control "call 219876543 2"
harness_wait_for 30 "the call in listcham.dat" grep -q ';219876543;' "$SONAVI_APP_DIR/listcham.dat"
sleep 2.5
harness_screenshot call_from_ana
sleep 6

say "A call from a withheld number"
fakemodem_control "call P 2"
harness_wait_for 30 "the withheld call in listcham.dat" grep -q ';Confidencial;' \
  "$SONAVI_APP_DIR/listcham.dat"
sleep 2.5
harness_screenshot withheld_call

say "The call list (listcham.dat beside the program)"
show_file "$SONAVI_APP_DIR/listcham.dat"
echo
echo "Screenshots: $HARNESS_DIR_DEMO/*.png"

if ((INTERACTIVE)); then
  say "Sonavi is running in the Wine desktop window. Right-click its tray icon (bottom right)"
  echo "for the menu; \"Sair\" ends it. More calls: echo 'call 912345678 3' > $FAKEMODEM_CONTROL"
  while sonavi_running; do sleep 1; done
fi
harness_pass
