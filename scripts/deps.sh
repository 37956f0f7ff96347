#!/bin/bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail
# x11-apps: xwd; x11-utils: xwininfo; imagemagick: convert (the scenarios' pictures).
# g++-mingw-w64-i686-posix and wine32 (from Debian's i386 architecture): the 32-bit build
# and Wine's side that runs it; nsis: makensis, for the installer; unzip: the test of the
# published zips.
packages=(cmake ninja-build g++ libgtest-dev libbenchmark-dev g++-mingw-w64-x86-64-posix
          g++-mingw-w64-i686-posix wine64 wine32:i386 fonts-wine xvfb x11-apps x11-utils
          imagemagick xdotool xauth locales nsis zip unzip)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  if ! dpkg --print-foreign-architectures | grep -qx i386; then $SUDO dpkg --add-architecture i386; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The program runs under a Portuguese user locale (Wine takes it from LANG).
if ! locale -a 2>/dev/null | grep -qi '^pt_PT.utf8$'; then
  SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO=sudo
  $SUDO sed -i 's/^# *pt_PT.UTF-8 UTF-8/pt_PT.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
