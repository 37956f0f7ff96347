#!/bin/bash
# Builds everything and runs every test: native unit tests (plain and under ASan/UBSan,
# the threaded ones under ThreadSanitizer), then the Windows build's tests under Wine.
# Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/deps.sh
JOBS=$(nproc)

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j "$JOBS"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSONAVI_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$JOBS" --target native_tests
ctest --test-dir build/native --output-on-failure -j "$JOBS"
ctest --test-dir build/asan --output-on-failure -j "$JOBS"
# The tests that run real threads (serial worker, tray update worker, hand-overs to the
# main thread) under ThreadSanitizer: any report fails the run.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONAVI_TSAN=ON >/dev/null
cmake --build build/tsan -j "$JOBS" --target threaded_tests
TSAN_OPTIONS="halt_on_error=1 exitcode=66" build/tsan/threaded_tests --gtest_brief=1

# The Windows builds: 32-bit (what its smoke set needs), then 64-bit with the installer,
# which carries both exes.
fakemodem="$ROOT/build/native/tools/fakemodem/fakemodem"
cmake -S . -B build/win32-i686 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" -DSONAVI_FAKEMODEM="$fakemodem" >/dev/null
cmake --build build/win32-i686 -j "$JOBS" --target sonavi win32_tests sonavi_probe
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DSONAVI_FAKEMODEM="$fakemodem" \
  -DSONAVI_EXE32="$ROOT/build/win32-i686/sonavi.exe" >/dev/null
cmake --build build/win32 -j "$JOBS"

# One Wine prefix for both builds: 64-bit Wine runs the 32-bit exes through its 32-bit side.
export SONAVI_BUILD=$ROOT/build/win32
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
ctest --test-dir build/win32 --output-on-failure
ctest --test-dir build/win32-i686 --output-on-failure \
  -R '^(win32_tests|wine_accept_(calls|second_instance|first_run|tray_menu))$'
