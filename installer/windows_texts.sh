#!/bin/bash
# Writes the texts that go with sonavi.exe to Windows users, in the zips and the install
# folder, with the CR LF line ends Notepad expects:
#   README.txt               the parts of README.md meant for users (the blocks between
#                            "<!-- windows-readme -->" and "<!-- /windows-readme -->"),
#                            with the version filled in for <version> and <versão>, the
#                            pictures left out and every link reduced to its text, since
#                            what they point to does not go with the program
#   NOTICE.txt, LICENSE.txt  the licence notices
#
#   installer/windows_texts.sh SOURCE_DIR VERSION OUT_DIR
set -euo pipefail
source=$1 version=$2 out=$3
mkdir -p "$out"
crlf() { sed 's/\r$//; s/$/\r/'; }

{
  # UTF-8 with its byte order mark, which tells Notepad (Windows 7's too) the encoding.
  printf '\xEF\xBB\xBFSonavi %s\n\n' "$version"
  awk '
    /^<!-- \/windows-readme -->$/ { on = 0; next }
    /^<!-- windows-readme -->$/ { on = 1; if (blocks++ && last != "") print last = ""; next }
    !on { next }
    # A picture on a line of its own goes, with the blank line after it.
    /^!\[[^]]*\]\([^)]*\)$/ { picture = 1; next }
    picture && /^$/ { picture = 0; next }
    { picture = 0; print last = $0 }
  ' "$source/README.md" |
    sed -E 's/\[([^]]*)\]\([^)]*\)/\1/g' |
    sed "s/<version>/$version/g; s/<versão>/$version/g"
} | crlf >"$out/README.txt"
crlf <"$source/NOTICE.txt" >"$out/NOTICE.txt"
crlf <"$source/LICENSE" >"$out/LICENSE.txt"
