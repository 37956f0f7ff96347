#!/bin/bash
# Puts together in OUT what is published for Windows users, from a 64-bit build folder
# (its sonavi.exe, installer, VERSION and windows-texts/) and the 32-bit build's sonavi.exe:
#   sonavi-VERSION-instalador.exe
#   sonavi-VERSION-win32.zip, sonavi-VERSION-win64.zip: each unpacks into a folder of its
#       own, sonavi-VERSION-win32/ or -win64/, holding sonavi.exe, README.txt, NOTICE.txt
#       and LICENSE.txt; the entries carry the date of the last commit, so that the same
#       commit gives the same zips
#   SHA256SUMS
#   winget/: the winget manifest of the installer (installer/winget_manifest.sh), which
#       is to be downloaded from SONAVI_DOWNLOAD_URL (a folder; by default
#       https://www.borvane.pt/sonavi/VERSION)
#
#   scripts/package.sh OUT BUILD64 EXE32
set -euo pipefail
out=$1 build=$2 exe32=$3
source_dir=$(cd "$(dirname "$0")/.." && pwd)
version=$(<"$build/VERSION")
setup=sonavi-$version-instalador.exe

rm -rf "$out"
mkdir -p "$out"
cp "$build/$setup" "$out/"
export TZ=UTC
stamp=$(git -C "$source_dir" log -1 --format=%cd --date=format-local:%Y%m%d%H%M.%S 2>/dev/null ||
  echo 202601010000)
for arch in win32 win64; do
  name=sonavi-$version-$arch
  mkdir "$out/$name"
  if [[ $arch == win32 ]]; then
    cp "$exe32" "$out/$name/sonavi.exe"
  else
    cp "$build/sonavi.exe" "$out/$name/sonavi.exe"
  fi
  cp "$build/windows-texts/README.txt" "$build/windows-texts/NOTICE.txt" \
    "$build/windows-texts/LICENSE.txt" "$out/$name/"
  chmod -R u=rwX,go=rX "$out/$name"
  find "$out/$name" -exec touch -t "$stamp" {} +
  (cd "$out" && find "$name" | LC_ALL=C sort | zip -qX "$name.zip" -@)
  rm -rf "${out:?}/$name"
done
(cd "$out" && sha256sum "$setup" sonavi-*.zip >SHA256SUMS)
bash "$source_dir/installer/winget_manifest.sh" "$version" "$out/$setup" \
  "${SONAVI_DOWNLOAD_URL:-https://www.borvane.pt/sonavi/$version}/$setup" "$out/winget"
