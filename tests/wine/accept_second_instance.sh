#!/bin/bash
# Starting the program while it runs: the second copy says so in a message box captioned
# "Sonavi", ends with exit code 0 once the box is closed, and the first copy goes on alone.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

harness_init accept_second_instance
# A port that is not there: the program starts without a modem and without its dialog.
harness_settings COM9 0
sonavi_start
harness_wait_for 20 "the tray icon" tray_icon_centre
instances() { probe windows | grep -c ' SonaviApplication "Sonavi" '; }
(($(instances) == 1)) || harness_fail "expected one running program"

(cd "$SONAVI_APP_DIR" && exec "$WINE" "$SONAVI_APP_DIR/sonavi.exe" \
  >"$HARNESS_DIR/second.out" 2>&1 </dev/null) &
second=$!
box=$(probe_wait_window 20 '#32770' Sonavi)
text=$(probe children "$box" | awk '$4 == "Static" && $5 != "\"\"" {$1 = $2 = $3 = $4 = ""; print}' |
  sed 's/^ *"//; s/"$//')
harness_log "message box: $text"
[[ "$text" == "Este programa já se encontra em execução." ]] ||
  harness_fail "the message box reads '$text'"
harness_screenshot second_instance
probe_click "$(probe_child "$box" Button OK)"
status=0
harness_wait_for 10 "the second copy to end" eval '! kill -0 '"$second"
wait "$second" || status=$?
((status == 0)) || harness_fail "the second copy ended with exit code $status"
sonavi_running || harness_fail "the first copy ended"
(($(instances) == 1)) || harness_fail "expected one running program after the second start"
tray_wait_tip 10 "Erro ao abrir porta COM9."
harness_pass
