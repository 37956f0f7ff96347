#!/bin/bash
# Writes the winget manifest of the installer (manifest schema 1.28.0, the multi-file form
# the community repository takes): Borvane.Sonavi.yaml (version),
# Borvane.Sonavi.installer.yaml and Borvane.Sonavi.locale.pt-PT.yaml (default locale).
# The installer is a per-user NSIS installer for x64 and x86 (the same file for both),
# found installed by its Apps & features entry's key name (ProductCode);
# the release notes are the version's section of CHANGELOG.md, the copyright the licence's.
#
#   installer/winget_manifest.sh VERSION INSTALLER INSTALLER_URL OUT_DIR
set -euo pipefail
version=$1 installer=$2 url=$3 out=$4
source_dir=$(cd "$(dirname "$0")/.." && pwd)
changelog=$source_dir/CHANGELOG.md
copyright=$(grep -m 1 '^Copyright ' "$source_dir/LICENSE")
sha256=$(sha256sum "$installer" | cut -d ' ' -f 1 | tr a-f A-F)
id=Borvane.Sonavi
schema=1.28.0
notes=$(awk -v v="$version" '
  $1 == "##" && $2 == v { on = 1; next }
  on && /^## / { exit }
  on { print "  " $0 }' "$changelog" | sed -e 's/^  $//' -e '/./,$!d')
[[ -n "$notes" ]] || { echo "CHANGELOG.md has no section for $version" >&2; exit 1; }

mkdir -p "$out"
cat >"$out/$id.yaml" <<YAML
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.version.$schema.schema.json
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: pt-PT
ManifestType: version
ManifestVersion: $schema
YAML

cat >"$out/$id.installer.yaml" <<YAML
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.installer.$schema.schema.json
PackageIdentifier: $id
PackageVersion: $version
InstallerLocale: pt-PT
InstallerType: nullsoft
Scope: user
InstallModes:
- interactive
- silent
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
UpgradeBehavior: install
ProductCode: Sonavi
InstallationMetadata:
  DefaultInstallLocation: '%LOCALAPPDATA%\\Programs\\Sonavi'
Installers:
- Architecture: x64
  InstallerUrl: $url
  InstallerSha256: $sha256
- Architecture: x86
  InstallerUrl: $url
  InstallerSha256: $sha256
ManifestType: installer
ManifestVersion: $schema
YAML

cat >"$out/$id.locale.pt-PT.yaml" <<YAML
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.defaultLocale.$schema.schema.json
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: pt-PT
Publisher: Borvane
PublisherUrl: http://www.borvane.pt
PackageName: Sonavi
License: MIT
Copyright: $copyright
ShortDescription: Identificação de chamadas com um modem de voz/dados, na área de notificação.
Description: |-
  O Sonavi fica na área de notificação, prepara o modem de voz/dados para a identificação
  de chamadas e, quando o telefone toca, toca um som e mostra um balão com o nome de quem
  liga, tirado da agenda. Guarda cada chamada numa lista e marca números da agenda
  através do modem.
Tags:
- caller-id
- modem
- telefone
- agenda
ReleaseNotes: |-
$notes
ManifestType: defaultLocale
ManifestVersion: $schema
YAML
