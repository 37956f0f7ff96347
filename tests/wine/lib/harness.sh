# shellcheck shell=bash
# Sourced by the scenario scripts in tests/wine/: runs the simulated modem, maps it to a COM
# port, starts the program under Wine in a scratch folder, waits for things to happen with a
# bounded time-out, takes screenshots, and cleans up whatever it started.
#
#   source "$(dirname "$0")/lib/harness.sh"
#   harness_init NAME            scratch folder $SONAVI_BUILD/wine-tests/NAME ($HARNESS_DIR)
#   fakemodem_start [OPTIONS]    the modem, with --link/--log/--control set by the harness
#   harness_map_port COMn [PATH] COMn -> the modem's link (or PATH) for later Wine processes
#   harness_settings PORT OFF    the program's registry settings (OFF: 0 or 1)
#   sonavi_start [--desktop] [DIR]  copies the exe into the scratch folder and starts it
#                                (or starts the one installed in DIR)
#   sonavi_running / sonavi_stop is the program still running / end it
#   fakemodem_control LINE       e.g. "ring", "call 219876543 2", "send RING\r\n"
#   fakemodem_reopen             a new pty behind the same link; sets FAKEMODEM_PTY
#   harness_wait_log REGEX [S]   waits up to S seconds (default 10) for a modem log line
#   harness_log_count REGEX      how many modem log lines match
#   harness_wait_for S WHAT CMD  waits up to S seconds for CMD to succeed
#   harness_screenshot NAME      $HARNESS_DIR/NAME.png
#   harness_run_win32_tests FILTER [COMn]  runs win32_tests.exe on a filter under Wine
#   sonavi_version               the version the build gave the program ("1.0.2.117")
#   harness_fail MESSAGE         reports, dumps the logs and exits 1
#   harness_pass                 exits 0 (cleanup runs from the EXIT trap)

set -euo pipefail

HARNESS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
: "${SONAVI_SOURCE:=$HARNESS_ROOT}"
: "${SONAVI_BUILD:=$SONAVI_SOURCE/build/win32}"
: "${SONAVI_EXE:=$SONAVI_BUILD/sonavi.exe}"
if [[ -z "${SONAVI_FAKEMODEM:-}" ]]; then
  SONAVI_FAKEMODEM="$SONAVI_SOURCE/build/native/tools/fakemodem/fakemodem"
fi
export SONAVI_SOURCE SONAVI_BUILD SONAVI_EXE SONAVI_FAKEMODEM

# shellcheck source=scripts/wine-env.sh
source "$SONAVI_SOURCE/scripts/wine-env.sh"

HARNESS_DIR=""
HARNESS_OWN_WINE=0
FAKEMODEM_PID=""
FAKEMODEM_PTY=""
FAKEMODEM_LINK=""
FAKEMODEM_LOG=""
FAKEMODEM_CONTROL=""
SONAVI_PID=""
SONAVI_APP_DIR=""

harness_log() { echo "[$(date +%H:%M:%S.%3N)] $*" >&2; }

harness_init() {
  local name=$1
  HARNESS_DIR="$SONAVI_BUILD/wine-tests/$name"
  rm -rf "$HARNESS_DIR"
  mkdir -p "$HARNESS_DIR"
  trap harness_cleanup EXIT
  local tool
  for tool in Xvfb xdotool xwd xwininfo convert; do
    command -v "$tool" >/dev/null || harness_fail "missing tool '$tool' (scripts/deps.sh installs it)"
  done
  [[ -x "$SONAVI_FAKEMODEM" ]] || harness_fail "no simulated modem at '$SONAVI_FAKEMODEM'" \
    "(build the native tree, or configure with -DSONAVI_FAKEMODEM=...)"
  # Run alone (not under scripts/test.sh), the scenario brings up its own display and Wine
  # server and takes them down at the end.
  if [[ -z "${DISPLAY:-}" ]]; then
    HARNESS_OWN_WINE=1
    wine_start
  fi
  harness_log "scratch folder $HARNESS_DIR"
}

# Microseconds since the epoch. The locale may write the decimal point as a comma.
_harness_now_us() { echo "${EPOCHREALTIME//[!0-9]/}"; }

# Polls every 0.1 s until the command succeeds; fails the scenario after `seconds`.
harness_wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$(($(_harness_now_us) + seconds * 1000000))
  until "$@" >/dev/null 2>&1; do
    if (($(_harness_now_us) >= deadline)); then
      harness_fail "timed out after ${seconds}s waiting for $what"
    fi
    sleep 0.1
  done
}

fakemodem_start() {
  FAKEMODEM_LINK="$HARNESS_DIR/modem"
  FAKEMODEM_LOG="$HARNESS_DIR/modem.log"
  FAKEMODEM_CONTROL="$HARNESS_DIR/modem.ctl"
  : >"$HARNESS_DIR/modem.out"
  "$SONAVI_FAKEMODEM" --link "$FAKEMODEM_LINK" --log "$FAKEMODEM_LOG" \
    --control "$FAKEMODEM_CONTROL" "$@" \
    >"$HARNESS_DIR/modem.out" 2>"$HARNESS_DIR/modem.err" </dev/null &
  FAKEMODEM_PID=$!
  harness_wait_for 5 "the simulated modem's pty" test -s "$HARNESS_DIR/modem.out"
  harness_wait_for 5 "the simulated modem's control FIFO" test -p "$FAKEMODEM_CONTROL"
  FAKEMODEM_PTY=$(head -n 1 "$HARNESS_DIR/modem.out")
  harness_log "fakemodem $* on $FAKEMODEM_PTY (pid $FAKEMODEM_PID)"
}

# A control line for the modem (see fakemodem --help).
fakemodem_control() {
  [[ -n "$FAKEMODEM_PID" ]] || harness_fail "fakemodem_control before fakemodem_start"
  printf '%s\n' "$1" >"$FAKEMODEM_CONTROL"
}

_harness_more_paths() { (($(wc -l <"$HARNESS_DIR/modem.out") > $1)); }

# Unplugs the modem and plugs in a new one behind the same link.
fakemodem_reopen() {
  local before
  before=$(wc -l <"$HARNESS_DIR/modem.out")
  fakemodem_control reopen
  harness_wait_for 5 "the new pty" _harness_more_paths "$before"
  FAKEMODEM_PTY=$(tail -n 1 "$HARNESS_DIR/modem.out")
  harness_log "fakemodem reopened on $FAKEMODEM_PTY"
}

# Maps COMn to the modem's symlink by default, so that "reopen" reaches the same port.
harness_map_port() {
  local port=$1 path=${2:-$FAKEMODEM_LINK}
  wine_map_port "$port" "$path"
  harness_log "$port -> $path"
}

harness_settings() {
  wine_settings "$1" "$2"
}

# The program keeps its data files beside the exe: each scenario runs its own copy. With
# --desktop it runs inside a Wine virtual desktop (as large as the screen, SONAVI_SCREEN_SIZE)
# that draws title bars and a taskbar with the notification area, for screenshots. The
# program gets its own process group, so that it and anything it starts end together.
sonavi_start() {
  local desktop=()
  if [[ "${1:-}" == "--desktop" ]]; then
    desktop=(explorer "/desktop=sonavi,${SONAVI_SCREEN_SIZE:-1024x768}")
    shift
  fi
  if [[ -n "${1:-}" ]]; then
    SONAVI_APP_DIR=$1
  else
    SONAVI_APP_DIR="$HARNESS_DIR/app"
    mkdir -p "$SONAVI_APP_DIR"
    cp "$SONAVI_EXE" "$SONAVI_APP_DIR/sonavi.exe"
  fi
  (cd "$SONAVI_APP_DIR" && exec setsid "$WINE" "${desktop[@]}" "$SONAVI_APP_DIR/sonavi.exe" \
    >"$HARNESS_DIR/sonavi.out" 2>&1 </dev/null) &
  SONAVI_PID=$!
  harness_log "sonavi.exe started ${desktop[*]} (pid $SONAVI_PID)"
}

sonavi_running() { [[ -n "$SONAVI_PID" ]] && kill -0 "$SONAVI_PID" 2>/dev/null; }

sonavi_stop() {
  harness_stop_group "$SONAVI_PID"
  SONAVI_PID=""
}

harness_log_has() { grep -Eq -- "$1" "$FAKEMODEM_LOG" 2>/dev/null; }

harness_log_count() { grep -Ec -- "$1" "$FAKEMODEM_LOG" 2>/dev/null || true; }

# Waits for a line of the modem's command log ("<ms> <command>") to match an extended regex.
harness_wait_log() {
  local regex=$1 seconds=${2:-10}
  harness_wait_for "$seconds" "modem log line /$regex/" harness_log_has "$regex"
}

harness_screenshot() {
  local file="$HARNESS_DIR/$1.png"
  if xwd -root -display "$DISPLAY" 2>/dev/null | convert xwd:- "$file" 2>/dev/null; then
    harness_log "screenshot $file"
  else
    harness_log "no screenshot (display $DISPLAY)"
  fi
}

# Runs the Windows test binary on a filter; COMn, when given, reaches the tests as
# SONAVI_TEST_COM.
harness_run_win32_tests() {
  local filter=$1 port=${2:-}
  local exe="$SONAVI_BUILD/win32_tests.exe"
  [[ -f "$exe" ]] || harness_fail "no $exe"
  if ! SONAVI_TEST_COM="$port" timeout 120 "$WINE" "$exe" --gtest_filter="$filter" \
    --gtest_brief=0 >"$HARNESS_DIR/win32_tests.out" 2>&1 </dev/null; then
    cat "$HARNESS_DIR/win32_tests.out" >&2
    harness_fail "win32_tests --gtest_filter=$filter failed"
  fi
  if grep -q "SKIPPED" "$HARNESS_DIR/win32_tests.out" ||
    ! grep -q "PASSED" "$HARNESS_DIR/win32_tests.out"; then
    cat "$HARNESS_DIR/win32_tests.out" >&2
    harness_fail "win32_tests --gtest_filter=$filter did not run and pass"
  fi
  harness_log "win32_tests $filter passed"
}

sonavi_version() {
  cat "$SONAVI_BUILD/VERSION"
}

harness_fail() {
  echo "FAIL: $*" >&2
  if [[ -n "$HARNESS_DIR" ]]; then
    local f
    for f in modem.log modem.err sonavi.out; do
      if [[ -s "$HARNESS_DIR/$f" ]]; then
        echo "--- $f" >&2
        tail -n 40 "$HARNESS_DIR/$f" >&2
      fi
    done
    [[ -n "${DISPLAY:-}" ]] && harness_screenshot failure
  fi
  exit 1
}

harness_pass() {
  harness_log "PASS"
  exit 0
}

# Ends, by process id, what this scenario started.
harness_stop_pid() {
  local pid=$1
  [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null || return 0
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Ends the process group that sonavi_start created.
harness_stop_group() {
  local pgid=$1
  [[ -n "$pgid" ]] || return 0
  kill -TERM -- "-$pgid" 2>/dev/null || return 0
  for _ in $(seq 30); do
    kill -0 -- "-$pgid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL -- "-$pgid" 2>/dev/null || true
  wait "$pgid" 2>/dev/null || true
}

harness_cleanup() {
  local status=$?
  trap - EXIT
  set +e
  harness_stop_group "$SONAVI_PID"
  harness_stop_pid "$FAKEMODEM_PID"
  if ((HARNESS_OWN_WINE)); then wine_stop; fi
  exit "$status"
}
