#!/bin/bash
# Shows the about window on the (virtual) screen and keeps a picture of it in
# $SONAVI_BUILD/screenshots/about.png; checks that the window's background colour fills
# at least its own area of the picture.
set -euo pipefail
source "$SONAVI_SOURCE/scripts/wine-env.sh"
if [[ -z "${DISPLAY:-}" ]]; then
  echo "no display: run under wine_start or xvfb-run" >&2
  exit 1
fi
sync=$(mktemp -d)
trap 'rm -rf "$sync"' EXIT
shots="$SONAVI_BUILD/screenshots"
mkdir -p "$shots"
rm -f "$shots/about.png"

# The test shows the window, writes "ready", and hides it again once "taken" exists.
export SONAVI_SCREENSHOT_SYNC="Z:${sync//\//\\}"
"$WINE" "$SONAVI_BUILD/win32_tests.exe" --gtest_filter=AboutWindowTest.ShownForAScreenshot &
test_pid=$!
for _ in $(seq 600); do
  [[ -f "$sync/ready" ]] && break
  kill -0 "$test_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -f "$sync/ready" ]]; then
  echo "the about window was never shown" >&2
  touch "$sync/taken"
  wait "$test_pid" || true
  exit 1
fi
xwd -root -display "$DISPLAY" | convert xwd:- "png:$shots/about.png"
touch "$sync/taken"
wait "$test_pid"

# The background colour RGB(237,236,227), inside the 1-pixel outline: 273 x 107 pixels.
background=$(convert "$shots/about.png" -depth 8 txt:- | grep -ci '#EDECE3' || true)
echo "background pixels: $background"
if ((background < 273 * 107 / 2)); then
  echo "the picture does not show the about window" >&2
  exit 1
fi
echo "screenshot: $shots/about.png"
