#!/bin/bash
# What scripts/package.sh publishes, made from this build (SONAVI_BUILD, with the 32-bit
# exe SONAVI_EXE32), as a Windows user and a package manager meet it:
# - each zip unpacks into a folder of its own holding its own architecture's sonavi.exe,
#   README.txt, NOTICE.txt and LICENSE.txt;
# - the texts are Windows text (CR LF), and README.txt points to nothing that is not
#   there (no links, no pictures, no repository paths) and names the version;
# - the winget manifest has every field its schema (1.28.0) requires and the installer's
#   SHA-256.
set -euo pipefail
: "${SONAVI_SOURCE:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${SONAVI_BUILD:=$SONAVI_SOURCE/build/win32}"
: "${SONAVI_EXE32:=$SONAVI_SOURCE/build/win32-i686/sonavi.exe}"
scratch=$SONAVI_BUILD/release-test
out=$scratch/out
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

rm -rf "$scratch"
bash "$SONAVI_SOURCE/scripts/package.sh" "$out" "$SONAVI_BUILD" "$SONAVI_EXE32"
version=$(<"$SONAVI_BUILD/VERSION")
setup=sonavi-$version-instalador.exe

for arch in win32:$SONAVI_EXE32 win64:$SONAVI_BUILD/sonavi.exe; do
  zip=$out/sonavi-$version-${arch%%:*}.zip folder=sonavi-$version-${arch%%:*}
  [[ -f "$zip" ]] || { fail "no ${zip##*/}"; continue; }
  entries=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
  want="$folder/ $folder/LICENSE.txt $folder/NOTICE.txt $folder/README.txt $folder/sonavi.exe "
  [[ "$entries" == "$want" ]] || fail "${zip##*/} holds '$entries', not '$want'"
  mkdir -p "$scratch/${arch%%:*}"
  unzip -q "$zip" -d "$scratch/${arch%%:*}"
  cmp -s "$scratch/${arch%%:*}/$folder/sonavi.exe" "${arch#*:}" ||
    fail "${zip##*/}: not the ${arch%%:*} sonavi.exe"
  for text in README.txt NOTICE.txt LICENSE.txt; do
    file=$scratch/${arch%%:*}/$folder/$text
    # Every line ends in CR LF, the last one too.
    if [[ ! -s "$file" ]] || grep -qv $'\r$' "$file" || [[ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" != 0d0a ]]; then
      fail "${zip##*/}: $text is not CR LF text"
    fi
  done
  readme=$scratch/${arch%%:*}/$folder/README.txt
  if grep -nE '\]\(|!\[|docs/|\.md\b|<versão>|<version>' "$readme" >&2; then
    fail "${zip##*/}: README.txt points to what the zip does not hold (lines above)"
  fi
  grep -q "$setup" "$readme" || fail "README.txt does not name $setup"
done

# The winget manifest: in each file the keys its schema (1.28.0) requires, at least as long
# as the schema asks, for this version; the default locale's file named by the version
# file; the installer's SHA-256 that of the published installer.
manifests=$out/winget/Borvane.Sonavi
field() { sed -n "s/^$2: *//p" "$1" | head -n 1; }
# require FILE KEY MIN_LENGTH...
require() {
  local file=$1 value
  shift
  [[ -f "$file" ]] || { fail "no ${file##*/}"; return; }
  [[ "$(field "$file" PackageVersion)" == "$version" ]] || fail "${file##*/}: PackageVersion is not $version"
  while (($#)); do
    value=$(field "$file" "$1")
    ((${#value} >= $2)) || fail "${file##*/}: $1 '$value' is shorter than $2"
    shift 2
  done
}
require "$manifests.yaml" PackageIdentifier 1 DefaultLocale 2 ManifestType 1 ManifestVersion 1
locale=$(field "$manifests.yaml" DefaultLocale)
require "$manifests.locale.$locale.yaml" PackageIdentifier 1 PackageLocale 2 Publisher 2 \
  PackageName 2 License 3 ShortDescription 3 ManifestType 1 ManifestVersion 1
require "$manifests.installer.yaml" PackageIdentifier 1 InstallerType 1 ManifestType 1 \
  ManifestVersion 1
sha256=$(sha256sum "$out/$setup" | cut -d ' ' -f 1)
sums=$(sed -n 's/^ *InstallerSha256: *//p' "$manifests.installer.yaml" | tr A-F a-f | sort -u)
[[ "$sums" == "$sha256" ]] || fail "installer: InstallerSha256 '$sums', not the installer's $sha256"

((failures == 0)) || exit 1
echo "PASS: $(cd "$out" && ls | tr '\n' ' ')"
