# shellcheck shell=bash
# Sourced after harness.sh by the fault scenarios: a probe that reads and drives the
# running program from another Wine process (tests/wine/lib/probe.cpp), and bounded waits
# on what the program shows.
#
#   faults_probe_build             builds the probe once per build folder ($FAULTS_PROBE)
#   faults_probe ARGS...           runs it (see probe.cpp for the commands)
#   faults_memo                    the diagnostic log, one line per line, CR removed
#   faults_wait_ready N [S]        waits until the log shows the modem's OK to AT#CID=1
#                                  N times: the Nth initialisation has ended and the modem's
#                                  answer has been taken, so a ring now cannot mix with it
#   faults_call_count NUMBER       how many lines of listcham.dat record NUMBER
#   faults_wait_calls NUMBER N [S] waits until listcham.dat records NUMBER N times
#   faults_options_ok [PORT]       confirms the options dialog (choosing PORT): the
#                                  supervision runs at once
#   faults_error_box_text          the text of the program's error box (fails when none)
#   faults_rss_kb                  the program's resident memory in KiB
#   faults_cpu_ticks               the program's user + system CPU time in clock ticks

FAULTS_PROBE=""

faults_probe_build() {
  local source="$SONAVI_SOURCE/tests/wine/lib/probe.cpp"
  FAULTS_PROBE="$SONAVI_BUILD/wine-tests/probe.exe"
  if [[ ! -f "$FAULTS_PROBE" || "$source" -nt "$FAULTS_PROBE" ]]; then
    local temporary="$FAULTS_PROBE.$$.exe"
    x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static \
      -fexec-charset=CP1252 -o "$temporary" "$source" ||
      harness_fail "the probe does not build"
    mv "$temporary" "$FAULTS_PROBE"
  fi
}

faults_probe() {
  timeout 120 "$WINE" "$FAULTS_PROBE" "$@" </dev/null 2>>"$HARNESS_DIR/probe.err"
}

faults_memo() { faults_probe memo | tr -d '\r'; }

_faults_ready_count() {
  faults_memo | awk 'previous == "AT#CID=1" && $0 == "OK" { n++ } { previous = $0 } END { print n + 0 }'
}

_faults_ready_at_least() { (($(_faults_ready_count) >= $1)); }

faults_wait_ready() {
  local count=$1 seconds=${2:-30}
  harness_wait_for "$seconds" "caller ID switched on ($count)" _faults_ready_at_least "$count"
  harness_log "caller ID on ($count)"
}

faults_call_count() {
  if [[ -e "$SONAVI_APP_DIR/listcham.dat" && ! -d "$SONAVI_APP_DIR/listcham.dat" ]]; then
    grep -c -- ";$1;" "$SONAVI_APP_DIR/listcham.dat" || true
  else
    echo 0
  fi
}

_faults_calls_at_least() { (($(faults_call_count "$1") >= $2)); }

faults_wait_calls() {
  local number=$1 count=$2 seconds=${3:-20}
  harness_wait_for "$seconds" "$count call(s) from $number in listcham.dat" \
    _faults_calls_at_least "$number" "$count"
}

faults_options_ok() {
  faults_probe options-ok "$@" || harness_fail "could not confirm the options dialog"
  harness_log "options confirmed $*"
}

faults_error_box_text() { faults_probe error-box | tr -d '\r\n'; }

faults_rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$SONAVI_PID/status"; }

# utime and stime, the 14th and 15th fields, counted after the command name's parenthesis.
faults_cpu_ticks() { sed 's/^.*) //' "/proc/$SONAVI_PID/stat" | awk '{ print $12 + $13 }'; }
