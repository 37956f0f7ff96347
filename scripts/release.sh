#!/bin/bash
# Builds the release in out/ (scripts/package.sh): the installer (one for 32-bit and 64-bit
# Windows), a portable zip per architecture, SHA256SUMS and the winget manifest.
# The exes and the installer are built twice, the second time from scratch in a clone of the
# commit at another path, and must come out byte for byte the same and hold neither source
# path. Run it on a committed tree. Prints the files and their sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
scripts/deps.sh
if [[ -n "$(git status --porcelain)" ]]; then
  echo "uncommitted changes: commit them first (the second build is made from the commit)" >&2
  exit 1
fi

# build SOURCE DIR: the 32-bit exe in DIR/i686, the 64-bit one and the installer in DIR/x86_64.
build() {
  cmake -S "$1" -B "$2/i686" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64-i686.cmake" >/dev/null
  cmake --build "$2/i686" -j2 --target sonavi
  cmake -S "$1" -B "$2/x86_64" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64.cmake" \
    -DSONAVI_EXE32="$2/i686/sonavi.exe" >/dev/null
  cmake --build "$2/x86_64" -j2 --target sonavi installer
}
build "$ROOT" "$ROOT/build/release"
# The version the build made from CMakeLists.txt.
version=$(<build/release/x86_64/VERSION)
setup=sonavi-$version-instalador.exe
again=$ROOT/build/release-again
rm -rf "$again"
git clone -q --no-checkout "$ROOT" "$again/src"
git -C "$again/src" checkout -q "$(git rev-parse HEAD)"
build "$again/src" "$again/build"
for f in i686/sonavi.exe x86_64/sonavi.exe "x86_64/$setup"; do
  cmp "build/release/$f" "$again/build/$f" ||
    { echo "not reproducible: $f differs between two builds" >&2; exit 1; }
done
for f in i686/sonavi.exe x86_64/sonavi.exe; do
  for path in "$ROOT" "$again"; do
    if grep -qaF "$path" "build/release/$f" "$again/build/$f"; then
      echo "not reproducible: $f holds the path $path" >&2
      exit 1
    fi
  done
done

scripts/package.sh out build/release/x86_64 build/release/i686/sonavi.exe
ls -l out/ out/winget/
