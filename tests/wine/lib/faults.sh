# shellcheck shell=bash
# Sourced after harness.sh by the fault scenarios and the Wine benchmarks: a remote control
# that reads and drives the running program from another Wine process through its window
# messages (tests/wine/lib/remote_control.cpp), and bounded waits on what the program shows.
#
#   faults_remote_build            builds the remote control once per build folder
#                                  ($FAULTS_REMOTE)
#   faults_remote ARGS...          runs it (see remote_control.cpp for the commands)
#   faults_memo                    the diagnostic log, one line per line, CR removed
#   faults_start_ready [ARGS...]   builds the remote control, starts the simulated modem
#                                  (fakemodem ARGS) on COM5, stores COM5 and starts the
#                                  program, then waits for its first initialisation
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

FAULTS_REMOTE=""

faults_remote_build() {
  local source="$SONAVI_SOURCE/tests/wine/lib/remote_control.cpp"
  FAULTS_REMOTE="$SONAVI_BUILD/wine-tests/remote_control.exe"
  if [[ ! -f "$FAULTS_REMOTE" || "$source" -nt "$FAULTS_REMOTE" ]]; then
    local temporary="$FAULTS_REMOTE.$$.exe"
    x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Werror -static \
      -fexec-charset=CP1252 -o "$temporary" "$source" ||
      harness_fail "the remote control does not build"
    mv "$temporary" "$FAULTS_REMOTE"
  fi
}

faults_remote() {
  timeout 120 "$WINE" "$FAULTS_REMOTE" "$@" </dev/null 2>>"$HARNESS_DIR/remote_control.err"
}

faults_memo() { faults_remote memo | tr -d '\r'; }

_faults_ready_count() {
  faults_memo | awk 'previous == "AT#CID=1" && $0 == "OK" { n++ } { previous = $0 } END { print n + 0 }'
}

_faults_ready_at_least() { (($(_faults_ready_count) >= $1)); }

faults_start_ready() {
  faults_remote_build
  fakemodem_start "$@"
  harness_map_port COM5
  harness_settings COM5 0
  sonavi_start
  faults_wait_ready 1 30
}

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
  faults_remote options-ok "$@" || harness_fail "could not confirm the options dialog"
  harness_log "options confirmed $*"
}

faults_error_box_text() { faults_remote error-box | tr -d '\r\n'; }

faults_rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$SONAVI_PID/status"; }

# utime and stime, the 14th and 15th fields, counted after the command name's parenthesis.
faults_cpu_ticks() { sed 's/^.*) //' "/proc/$SONAVI_PID/stat" | awk '{ print $12 + $13 }'; }
