#!/bin/bash
# Runs a Windows program under the build's Wine prefix (ctest's cross-compiling emulator).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec "$WINE" "$@"
