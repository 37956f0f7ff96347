#!/bin/bash
# What scripts/package.sh publishes, made from this build (SONAVI_BUILD, with the 32-bit
# exe SONAVI_EXE32), as a Windows user and a package manager meet it:
# - each zip unpacks into a folder of its own holding its own architecture's sonavi.exe,
#   README.txt, NOTICE.txt and LICENSE.txt, and SHA256SUMS holds the right sums;
# - the texts are Windows text (CR LF), and README.txt points to nothing that is not
#   there (no links, no pictures, no repository paths) and names the version;
# - the winget manifest has every field its schema (1.28.0) requires, with the values
#   that schema allows, the installer's SHA-256 and the silent switches.
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

(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the files"
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

# The winget manifest: a reader for the plain YAML it is written in. `field FILE KEY` is a
# top-level value; `installer_field N KEY` a value of the Nth entry of Installers.
manifests=$out/winget
field() { sed -n "s/^$2: *//p" "$1" | head -n 1; }
installer_field() {
  awk -v n="$1" -v key="$2" '
    /^[^ -]/ { inside = ($0 ~ /^Installers:/); next }
    inside && /^- / { i++; sub(/^- /, "  ") }
    inside && i == n && $0 ~ "^  " key ":" { sub("^  " key ": *", ""); print; exit }
  ' "$manifests/Borvane.Sonavi.installer.yaml"
}
identifier='^[^.[:space:]\\/:*?"<>|]{1,32}(\.[^.[:space:]\\/:*?"<>|]{1,32}){1,7}$'
check_common() {
  local file=$1 type=$2
  [[ -f "$file" ]] || { fail "no ${file##*/}"; return; }
  [[ "$(field "$file" PackageIdentifier)" =~ $identifier ]] || fail "${file##*/}: PackageIdentifier"
  [[ "$(field "$file" PackageVersion)" == "$version" ]] || fail "${file##*/}: PackageVersion"
  [[ "$(field "$file" ManifestType)" == "$type" ]] || fail "${file##*/}: ManifestType is not $type"
  [[ "$(field "$file" ManifestVersion)" == 1.28.0 ]] || fail "${file##*/}: ManifestVersion"
}
locale='^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$'
check_common "$manifests/Borvane.Sonavi.yaml" version
default_locale=$(field "$manifests/Borvane.Sonavi.yaml" DefaultLocale)
[[ "$default_locale" =~ $locale ]] || fail "version: DefaultLocale '$default_locale'"
locale_file=$manifests/Borvane.Sonavi.locale.$default_locale.yaml
check_common "$locale_file" defaultLocale
[[ "$(field "$locale_file" PackageLocale)" == "$default_locale" ]] || fail "defaultLocale: PackageLocale"
for key in Publisher PackageName License ShortDescription; do
  value=$(field "$locale_file" "$key")
  ((${#value} >= 2)) || fail "defaultLocale: no $key"
done
installer_file=$manifests/Borvane.Sonavi.installer.yaml
check_common "$installer_file" installer
[[ "$(field "$installer_file" InstallerType)" == nullsoft ]] || fail "installer: InstallerType"
[[ "$(field "$installer_file" Scope)" == user ]] || fail "installer: Scope"
grep -qx '  Silent: /S' "$installer_file" && grep -qx '  SilentWithProgress: /S' "$installer_file" ||
  fail "installer: silent switches"
sha256=$(sha256sum "$out/$setup" | cut -d ' ' -f 1)
architectures=""
for n in 1 2 3; do
  architecture=$(installer_field "$n" Architecture)
  [[ -n "$architecture" ]] || break
  architectures+="$architecture "
  [[ "$(installer_field "$n" InstallerUrl)" =~ ^https?://.+/$setup$ ]] || fail "installer $n: InstallerUrl"
  [[ "$(installer_field "$n" InstallerSha256 | tr A-F a-f)" == "$sha256" ]] ||
    fail "installer $n: InstallerSha256 is not the installer's"
done
[[ "$architectures" == "x64 x86 " ]] || fail "installer: Installers for '$architectures', not x64 and x86"

((failures == 0)) || exit 1
echo "PASS: $(cd "$out" && ls | tr '\n' ' ')"
