#!/bin/bash
# Calls as the user meets them: an unknown number, a withheld one (the modem's "P" and
# "PRIVATE") and one from the phone book are each stored in listcham.dat and announced in a
# balloon at the tray icon; the rings of one call are announced once, and a ring more than
# 8 s after the last one is a new call, announced again.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/probe.sh"

ring_text='Está a receber uma chamada telefónica.'
caller_text='Está a receber uma chamada telefónica originária do número: '

harness_init accept_calls
fakemodem_start --ring-interval 2000
harness_map_port COM5
harness_settings COM5 0
mkdir -p "$HARNESS_DIR/app"
printf 'Ana;219876543\r\n' >"$HARNESS_DIR/app/agenda.dat"
sonavi_start
harness_wait_log '^[0-9]+ AT#CID=1$' 20
harness_wait_for 10 "the tray icon" tray_icon_centre
# The modem's "OK" must reach the program before the first ring (see call_end_to_end.sh).
sleep 1.5

rings_logged() { (($(sonavi_modem_log | grep -c '^RING$') >= $1)); }
calls_stored() { (($(grep -c . "$SONAVI_APP_DIR/listcham.dat" 2>/dev/null || true) >= $1)); }

# The first ring of a call is announced.
fakemodem_control ring
tray_wait_balloon 15 "$ring_text"
first=$TRAY_BALLOON
# Further rings of the same call are not: a new balloon would take the place of the one on
# the screen at once.
for n in 2 3; do
  fakemodem_control ring
  harness_wait_for 10 "ring $n in the modem log" rings_logged "$n"
  sleep 1
  tray_balloon_shown "$first" || harness_fail "ring $n of the same call was announced again"
done

# The callers, each number reported after a ring of its own.
fakemodem_control "call 912345678 1"
tray_wait_balloon 15 "${caller_text}912345678."
harness_wait_for 10 "the call in listcham.dat" calls_stored 1
fakemodem_control "call P 1"
tray_wait_balloon 15 "${caller_text}Confidencial."
withheld=$TRAY_BALLOON
fakemodem_control "call PRIVATE 1"
tray_wait_balloon 15 "${caller_text}Confidencial." "$withheld"
fakemodem_control "call 219876543 1"
tray_wait_balloon 15 'Está a receber uma chamada telefónica de Ana (219876543).'
harness_screenshot caller_balloon
harness_wait_for 10 "four calls in listcham.dat" calls_stored 4

# Quiet for more than 8 s after the last ring: the next ring is a new call.
last=$TRAY_BALLOON
sleep 8.5
fakemodem_control ring
tray_wait_balloon 15 "$ring_text" "$last"

# The call list file, in the order of the calls.
day='[0-9]{2}-[0-9]{2}-[0-9]{4};[0-9]{2}:[0-9]{2}:[0-9]{2}'
mapfile -t lines <"$SONAVI_APP_DIR/listcham.dat"
((${#lines[@]} == 4)) || harness_fail "expected 4 calls in listcham.dat, found ${#lines[@]}"
want=("912345678;" "Confidencial;" "Confidencial;" "219876543;Ana")
for i in 0 1 2 3; do
  [[ "${lines[$i]}" =~ ^${day}\;${want[$i]}$'\r'$ ]] ||
    harness_fail "call $((i + 1)) stored as '${lines[$i]}', expected ...;${want[$i]}"
done
harness_pass
