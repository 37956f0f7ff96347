#!/bin/bash
# A soak of the real sonavi.exe under Wine against the simulated modem (on demand, not a
# test: neither ctest nor scripts/test.sh runs it). For SOAK_SECONDS (default 7200) it
# makes a call every few seconds, in turn from a caller in the phone book, an unknown
# caller and a withheld number, with the caller's number after the first RING, before it,
# and with the lines spread over several blocks; about every SOAK_UNPLUG_EVERY seconds (600,
# plus 23 s more each time, so that the unplugs meet the 60 s supervision timer at varied
# phases) it takes the modem away while a call is in progress, in turn unplugged for 5 s,
# unplugged for 70 s, and stalled (it takes no more writes, without hanging up), and plugs
# in a new one behind the same port;
# once, at SOAK_UNWRITABLE_AT seconds (40 % of the run), it makes SOAK_UNWRITABLE_CALLS
# calls (5) while "listcham.dat" cannot be written, reading and closing the error box
# after each as a user does. Each call is followed until it is in listcham.dat and its
# caller's balloon is on the screen; nothing is asserted on the way, everything counted.
#
# At the end it checks the whole call list against the calls made (each once, in order,
# with the right name; the refused ones absent), and writes to SOAK_OUT (default the
# scratch folder):
#   journal.txt   what happened, with times
#   samples.csv   every SOAK_SAMPLE_EVERY seconds (600): calls, resident memory and open
#                 file descriptors of the exe's Linux process, the Windows handles the
#                 process holds (Wine's system handle table), and the bytes of the
#                 diagnostic log and of listcham.dat
#   recoveries.csv  per unplug: its kind, how long the device was away, the phase of the
#                 supervision timer (seconds since the program's start, modulo 60) when the
#                 new device came, and the time from then to the modem's OK to AT#CID=1
#                 showing in the diagnostic log
#   summary.txt   the figures; exit status 0 when no call was lost or unannounced and
#                 every unplug was recovered from
# and copies the call list, the modem's command log and the diagnostic log there.
#
#   SOAK_SECONDS=300 SOAK_UNPLUG_EVERY=90 SOAK_OUT=/tmp/soak bench/wine/soak.sh
# Needs the Windows build (sonavi.exe, sonavi_probe.exe) and the native fakemodem.
# shellcheck source=tests/wine/lib/harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/wine/lib/harness.sh"
# shellcheck source=tests/wine/lib/faults.sh
source "$SONAVI_SOURCE/tests/wine/lib/faults.sh"
# shellcheck source=tests/wine/lib/probe.sh
source "$SONAVI_SOURCE/tests/wine/lib/probe.sh"

readonly SECONDS_TOTAL=${SOAK_SECONDS:-7200}
readonly UNPLUG_EVERY=${SOAK_UNPLUG_EVERY:-600}
readonly SAMPLE_EVERY=${SOAK_SAMPLE_EVERY:-600}
readonly UNWRITABLE_AT=${SOAK_UNWRITABLE_AT:-$((SECONDS_TOTAL * 2 / 5))}
readonly UNWRITABLE_CALLS=${SOAK_UNWRITABLE_CALLS:-5}
readonly KNOWN=50 # entries in the phone book

harness_init soak
OUT=${SOAK_OUT:-$HARNESS_DIR}
mkdir -p "$OUT"
JOURNAL=$OUT/journal.txt
: >"$JOURNAL"
echo "elapsed_s,calls_made,calls_recorded,rss_kb,fds,win32_handles,memo_bytes,listcham_bytes" \
  >"$OUT/samples.csv"
echo "unplug,kind,at_s,away_s,timer_phase_s,recovery_s" >"$OUT/recoveries.csv"

soak_note() {
  local line
  line="$(date +%H:%M:%S) +$(($(soak_now) - START))s $*"
  echo "$line" >>"$JOURNAL"
  echo "$line" >&2
}

soak_now() { echo "${EPOCHSECONDS}"; }
soak_now_ms() { echo $(($(_harness_now_us) / 1000)); }

# Like harness_wait_for, but answers false on time-out instead of ending the run.
soak_wait() {
  local seconds=$1
  shift
  local deadline=$(($(_harness_now_us) + seconds * 1000000))
  until "$@" >/dev/null 2>&1; do
    (($(_harness_now_us) < deadline)) || return 1
    sleep 0.1
  done
}

faults_remote_build
# Phone book: KNOWN entries with accented names (the file is Windows-1252).
mkdir -p "$HARNESS_DIR/app"
for ((k = 0; k < KNOWN; k++)); do
  printf 'Conceição Araújo %02d;21%07d\r\n' "$k" "$k"
done | iconv -f UTF-8 -t CP1252 >"$HARNESS_DIR/app/agenda.dat"

fakemodem_start --ring-interval 1000
harness_map_port COM5
harness_settings COM5 0
START=$(soak_now)
START_MS=$(soak_now_ms) # the supervision timer counts from the program's start
sonavi_start
faults_wait_ready 1 60
soak_note "program up, caller ID on"

LOG=$SONAVI_APP_DIR/listcham.dat
CALLS_MADE=0       # calls the modem made
EXPECTED=()        # "number;name" of each call that must be in listcham.dat, in order
REFUSED=0          # calls made while the file could not be written
REFUSED_REPORTED=0 # of those, reported by an error box with the system's text
NOT_RECORDED=0     # calls not in listcham.dat within 20 s
NOT_ANNOUNCED=0    # calls whose caller balloon did not show within 20 s
UNPLUGS=0
NOT_RECOVERED=0
STRAY_BOXES=0 # error boxes nobody expected
LAST_BALLOON=none
LAST_RING_MS=0
UNWRITABLE_DONE=0
UNKNOWN_SEQ=0
declare -A KINDS=() # calls by the way the modem sent them

soak_recorded() { if [[ -f "$LOG" ]]; then wc -l <"$LOG"; else echo 0; fi; }
_soak_has_lines() { (($(soak_recorded) >= $1)); }

soak_sample() {
  local resources memo_bytes log_bytes fds
  resources=$(faults_remote resources | tr -d '\r') || resources="handles ?"
  read -r -a r <<<"$resources"
  memo_bytes=$(faults_remote memo | wc -c)
  log_bytes=$(stat -c %s "$LOG" 2>/dev/null || echo 0)
  fds=$(find "/proc/$SONAVI_PID/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
  echo "$(($(soak_now) - START)),$CALLS_MADE,$(soak_recorded),$(faults_rss_kb),$fds,${r[1]},$memo_bytes,$log_bytes" \
    >>"$OUT/samples.csv"
  soak_note "sample: $(tail -n 1 "$OUT/samples.csv")"
}

# The modem's date and time block for a caller.
soak_cid_block() {
  printf '\\r\\nDATE = %s\\r\\n\\r\\nTIME = %s\\r\\n\\r\\nNMBR = %s\\r\\n' \
    "$(date +%m%d)" "$(date +%H%M)" "$1"
}

# Makes call number CALLS_MADE of the given kind from NUMBER (P for withheld); sets
# CALL_NUMBER (as the program records it), CALL_NAME and CALL_TEXT (the balloon).
soak_make_call() {
  local kind=$1 number=$2 name=${3:-}
  CALL_NUMBER=$number
  CALL_NAME=$name
  [[ "$number" == P || "$number" == PRIVATE ]] && CALL_NUMBER=Confidencial
  if [[ -n "$name" ]]; then
    CALL_TEXT="Está a receber uma chamada telefónica de $name ($CALL_NUMBER)."
  else
    CALL_TEXT="Está a receber uma chamada telefónica originária do número: $CALL_NUMBER."
  fi
  case $kind in
    after) # the modem's own call: RING, the block half a ring interval later, 2 rings
      fakemodem_control "call $number 2" ;;
    after3) # three rings, before an unplug
      fakemodem_control "call $number 3" ;;
    before) # the caller's block and the first RING in one block, a second RING later
      fakemodem_control "send $(soak_cid_block "$number")\\r\\nRING\\r\\n"
      sleep 1
      fakemodem_control ring ;;
    split) # every line of the call in a block of its own, the number line's CR and LF apart
      fakemodem_control 'send \r\nRING\r\n'
      sleep 0.7
      fakemodem_control "send \\r\\nDATE = $(date +%m%d)\\r\\n"
      sleep 0.7
      fakemodem_control "send \\r\\nTIME = $(date +%H%M)\\r\\n\\r\\nNMBR = $number\\r"
      sleep 0.7
      fakemodem_control 'send \n'
      sleep 0.3
      fakemodem_control ring ;;
  esac
  LAST_RING_MS=$(soak_now_ms)
  CALLS_MADE=$((CALLS_MADE + 1))
  KINDS[$kind]=$((${KINDS[$kind]:-0} + 1))
}

# Waits for the call to be recorded (when it can be) and announced.
soak_follow_call() {
  local writable=$1
  if ((writable)); then
    EXPECTED+=("$CALL_NUMBER;$CALL_NAME")
    if ! soak_wait 20 _soak_has_lines "${#EXPECTED[@]}"; then
      NOT_RECORDED=$((NOT_RECORDED + 1))
      soak_note "call $CALLS_MADE ($CALL_NUMBER) not recorded within 20 s"
    fi
  fi
  if soak_wait 20 _tray_balloon_is "$CALL_TEXT" "$LAST_BALLOON"; then
    LAST_BALLOON=$TRAY_BALLOON
  else
    NOT_ANNOUNCED=$((NOT_ANNOUNCED + 1))
    soak_note "call $CALLS_MADE ($CALL_NUMBER) not announced within 20 s"
  fi
}

# The next call of the rota; CID before the first RING only while the previous call is
# still in progress (its last RING under 8 s ago): otherwise the program's first-ring
# balloon, asked for right after the caller's, replaces it before the tray draws it.
soak_next_call() {
  local kind known
  known=$((CALLS_MADE % KNOWN))
  UNKNOWN_SEQ=$((UNKNOWN_SEQ + 1))
  case $((CALLS_MADE % 6)) in
    0) soak_make_call after "$(printf '21%07d' "$known")" "$(printf 'Conceição Araújo %02d' "$known")" ;;
    1) soak_make_call after "$(printf '29%07d' "$UNKNOWN_SEQ")" ;;
    2) soak_make_call after P ;;
    3)
      kind=after
      (($(soak_now_ms) - LAST_RING_MS < 5000)) && kind=before
      soak_make_call "$kind" "$(printf '29%07d' "$UNKNOWN_SEQ")" ;;
    4) soak_make_call split "$(printf '21%07d' "$known")" "$(printf 'Conceição Araújo %02d' "$known")" ;;
    5)
      kind=after
      (($(soak_now_ms) - LAST_RING_MS < 5000)) && kind=before
      soak_make_call "$kind" PRIVATE ;;
  esac
}

soak_check_no_box() {
  local text
  while text=$(faults_error_box_text 2>/dev/null) && [[ -n "$text" ]]; do
    STRAY_BOXES=$((STRAY_BOXES + 1))
    soak_note "unexpected error box: $text (closed)"
    faults_remote dismiss || break
  done
}

# Numbers in, "n N, median M, shortest S, longest L" out.
soak_stats() {
  LC_ALL=C sort -n | LC_ALL=C awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "n 0"; exit }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "n %d, median %.1f, shortest %.1f, longest %.1f\n", NR, m, v[1], v[NR] }'
}

_soak_ready_above() { (($(_faults_ready_count) > $1)); }

# Taken away while a call is in progress (its number recorded and announced, its last RING
# under 8 s ago): unplugged for AWAY seconds and plugged in again as a new device behind the
# same COM port, or (AWAY "stall") stalled with a new device behind the port at once; nobody
# touches the program.
soak_unplug() {
  local away=$1 kind=unplug ready_before paths plugged recovered phase
  UNPLUGS=$((UNPLUGS + 1))
  soak_make_call after3 "$(printf '29%07d' "$UNKNOWN_SEQ")"
  UNKNOWN_SEQ=$((UNKNOWN_SEQ + 1))
  soak_follow_call 1
  ready_before=$(_faults_ready_count)
  if [[ $away == stall ]]; then
    kind=stall
    away=0
    paths=$(wc -l <"$HARNESS_DIR/modem.out")
    fakemodem_control stall
    soak_wait 5 _harness_more_paths "$paths" || soak_note "no new device after the stall"
    soak_note "unplug $UNPLUGS: device stalled"
  else
    fakemodem_control close
    soak_wait 5 test ! -e "$FAKEMODEM_LINK" || soak_note "the link did not go"
    soak_note "unplug $UNPLUGS: device away for ${away}s"
    sleep "$away"
    sonavi_running || soak_note "the program ended while the device was away"
    fakemodem_reopen
  fi
  plugged=$(soak_now_ms)
  phase=$(LC_ALL=C awk -v d=$((plugged - START_MS)) 'BEGIN { printf "%.1f", (d % 60000) / 1000 }')
  if soak_wait 180 _soak_ready_above "$ready_before"; then
    recovered=$(soak_now_ms)
    echo "$UNPLUGS,$kind,$((plugged / 1000 - START)),$away,$phase,$(LC_ALL=C awk -v d=$((recovered - plugged)) 'BEGIN { printf "%.1f", d / 1000 }')" \
      >>"$OUT/recoveries.csv"
    soak_note "unplug $UNPLUGS: caller ID on again $((recovered - plugged)) ms after the new device came (timer phase ${phase}s)"
  else
    NOT_RECOVERED=$((NOT_RECOVERED + 1))
    echo "$UNPLUGS,$kind,$((plugged / 1000 - START)),$away,$phase,none" >>"$OUT/recoveries.csv"
    soak_note "unplug $UNPLUGS: NOT recovered within 180 s"
  fi
  soak_check_no_box
  LAST_RING_MS=0
}

# listcham.dat cannot be written (a folder of that name stands in its place) for a few
# calls; each call's error box is read and closed before the next call, as a user does.
soak_unwritable() {
  local expected i text
  expected=$(faults_remote syserr 5 | tr -d '\r\n')
  mv "$LOG" "$HARNESS_DIR/listcham.kept"
  mkdir "$LOG"
  soak_note "listcham.dat unwritable for $UNWRITABLE_CALLS calls (expected box: $expected)"
  for ((i = 0; i < UNWRITABLE_CALLS; i++)); do
    soak_next_call
    REFUSED=$((REFUSED + 1))
    if soak_wait 20 faults_remote error-box; then
      text=$(faults_error_box_text)
      if [[ "$text" == "$expected" ]]; then
        REFUSED_REPORTED=$((REFUSED_REPORTED + 1))
      else
        soak_note "call $CALLS_MADE: the error box says '$text'"
      fi
      soak_follow_call 0
      faults_remote dismiss || soak_note "call $CALLS_MADE: the error box did not close"
    else
      soak_note "call $CALLS_MADE ($CALL_NUMBER): no error box within 20 s"
      soak_follow_call 0
    fi
  done
  rmdir "$LOG"
  mv "$HARNESS_DIR/listcham.kept" "$LOG"
  soak_check_no_box
  soak_note "listcham.dat writable again"
}

# Warm-up: the first calls grow the call list window and the log from empty; the start
# figures are taken after them.
for ((w = 0; w < 6; w++)); do
  soak_next_call
  soak_follow_call 1
  sleep 1
done
soak_sample
START_SAMPLE=$(tail -n 1 "$OUT/samples.csv")
END=$((START + SECONDS_TOTAL))
next_unplug=$((START + UNPLUG_EVERY))
next_sample=$((START + SAMPLE_EVERY))
away=5
while (($(soak_now) < END)); do
  sonavi_running || {
    soak_note "the program ended"
    break
  }
  if (($(soak_now) >= next_unplug)); then
    soak_unplug "$away"
    # In turn a short absence, one across a supervision run, and a stall.
    case $away in 5) away=70 ;; 70) away=stall ;; *) away=5 ;; esac
    next_unplug=$((next_unplug + UNPLUG_EVERY + 23))
    continue
  fi
  if ((!UNWRITABLE_DONE && $(soak_now) >= START + UNWRITABLE_AT)); then
    soak_unwritable
    UNWRITABLE_DONE=1
    continue
  fi
  if (($(soak_now) >= next_sample)); then
    soak_sample
    next_sample=$((next_sample + SAMPLE_EVERY))
  fi
  soak_next_call
  soak_follow_call 1
  sleep 1
done

# The last calls' rings are over; the end figures.
sleep 10
soak_check_no_box
soak_sample
END_SAMPLE=$(tail -n 1 "$OUT/samples.csv")
RAN=$(($(soak_now) - START))

# The whole call list against the calls made.
printf '%s\n' "${EXPECTED[@]}" >"$OUT/expected.txt"
iconv -f CP1252 -t UTF-8 "$LOG" | tr -d '\r' | cut -d';' -f3,4 >"$OUT/recorded.txt"
cp "$LOG" "$OUT/listcham.dat"
cp "$FAKEMODEM_LOG" "$OUT/modem.log"
faults_memo >"$OUT/memo.txt" || true
LOST=$(diff "$OUT/expected.txt" "$OUT/recorded.txt" | grep -c '^<' || true)
EXTRA=$(diff "$OUT/expected.txt" "$OUT/recorded.txt" | grep -c '^>' || true)
IN_ORDER=no
cmp -s "$OUT/expected.txt" "$OUT/recorded.txt" && IN_ORDER=yes
RINGS_LOGGED=$(grep -cx RING "$OUT/memo.txt" || true)

read -r -a s0 <<<"${START_SAMPLE//,/ }"
read -r -a s1 <<<"${END_SAMPLE//,/ }"
calls_between=$((s1[1] - s0[1]))
{
  echo "ran                 ${RAN} s ($(LC_ALL=C awk -v s="$RAN" 'BEGIN { printf "%.2f", s / 3600 }') h)"
  echo "calls made          $CALLS_MADE ($(LC_ALL=C awk -v c="$CALLS_MADE" -v s="$RAN" 'BEGIN { printf "%.0f", c * 3600 / s }') per hour)"
  echo "calls recorded      $(soak_recorded) of ${#EXPECTED[@]} expected; lost $LOST, extra $EXTRA, list identical in order: $IN_ORDER"
  echo "not recorded in 20s $NOT_RECORDED"
  echo "refused (unwritable) $REFUSED, reported by the error box with the system's text: $REFUSED_REPORTED"
  echo "announced           $((CALLS_MADE - NOT_ANNOUNCED)) of $CALLS_MADE (caller balloon on the screen)"
  echo "RING lines logged   $RINGS_LOGGED"
  echo "unplugs             $UNPLUGS, not recovered $NOT_RECOVERED"
  for kind in unplug stall; do
    echo "recovery (s), $kind $(grep ",$kind," "$OUT/recoveries.csv" | cut -d, -f6 | grep -v none | soak_stats)"
  done
  echo "stray error boxes   $STRAY_BOXES"
  echo "start sample        $START_SAMPLE"
  echo "end sample          $END_SAMPLE"
  echo "rss growth          $((s1[3] - s0[3])) KiB over $calls_between calls"
  echo "fds                 ${s0[4]} -> ${s1[4]}; win32 handles ${s0[5]} -> ${s1[5]}"
  echo "memo bytes          ${s0[6]} -> ${s1[6]}; listcham bytes ${s0[7]} -> ${s1[7]}"
  echo "calls by kind       $(for k in "${!KINDS[@]}"; do printf '%s %s  ' "$k" "${KINDS[$k]}"; done)"
} >"$OUT/summary.txt"
cat "$OUT/summary.txt" >&2
if ((LOST + EXTRA + NOT_RECORDED + NOT_ANNOUNCED + NOT_RECOVERED + STRAY_BOXES == 0)) &&
  [[ $IN_ORDER == yes && $REFUSED_REPORTED -eq $REFUSED ]] && sonavi_running; then
  harness_pass
fi
harness_fail "the soak lost or missed something (see $OUT/summary.txt)"
