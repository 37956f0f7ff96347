#!/bin/bash
# Builds the release: sonavi.exe (static, for 64-bit Windows) and a zip with the README,
# in out/. Prints their sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/deps.sh
command -v zip >/dev/null || { SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo;
  $SUDO apt-get install -y -qq --no-install-recommends zip >/dev/null; }
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" >/dev/null
cmake --build build/release --target sonavi
x86_64-w64-mingw32-strip -o build/release/sonavi-stripped.exe build/release/sonavi.exe
version=$(sed -n 's/.*SONAVI_VERSION_TEXT "\(.*\)"/\1/p' resources/version.h)
rm -rf out && mkdir -p out/sonavi-$version
cp build/release/sonavi-stripped.exe out/sonavi.exe
cp out/sonavi.exe README.md out/sonavi-$version/
mkdir -p out/sonavi-$version/docs/screenshots && cp docs/screenshots/*.png out/sonavi-$version/docs/screenshots/
(cd out && zip -qr "sonavi-$version.zip" "sonavi-$version" && rm -rf "sonavi-$version")
ls -l out/
echo "sonavi.exe: $(stat -c %s out/sonavi.exe) bytes; zip: $(stat -c %s out/sonavi-$version.zip) bytes"
