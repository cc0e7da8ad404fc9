# Shared by the end-to-end tests; sourced, not run. Gives each test a work folder that is removed
# with every process the test started, the check helpers, and an Xvfb display.

# require_tools TOOL...: exits 77 (skipped) when one is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
}

work=$(mktemp -d)
pids=() # every process the test starts; stopped on exit
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
pass() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() { # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
wait_for() { # wait_for SECONDS COMMAND...: runs COMMAND until it succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.05; done
}

# start_xvfb WIDTH HEIGHT: a display of that size; exports DISPLAY, false when Xvfb didn't come up.
# Xvfb picks a free display number and writes it to fd 3 once it accepts connections.
start_xvfb() {
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "$1x$2x24" -nolisten tcp -br 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  wait_for 10 test -s "$work/display" || { cat "$work/xvfb.log"; return 1; }
  DISPLAY=:$(head -1 "$work/display")
  export DISPLAY
}

# start_weston WIDTH HEIGHT MODULE [SCALE]: a headless weston with the desktop shell and the
# compositor-control module (see tests/e2e/compositor-control), in the private runtime folder
# $work/runtime under the socket name "wayland-e2e"; exports XDG_RUNTIME_DIR and WAYLAND_DISPLAY
# (the test's own commands and the program use both), false when weston didn't come up. The pid
# is $weston_pid.
start_weston() {
  mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
  export XDG_RUNTIME_DIR=$work/runtime WAYLAND_DISPLAY=wayland-e2e
  local config
  config=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/weston-test.ini
  weston --config="$config" --backend=headless-backend.so \
    --use-pixman --socket="$WAYLAND_DISPLAY" --width="$1" --height="$2" --scale="${4:-1}" \
    --idle-time=0 --debug --modules="$3" >"$work/weston.log" 2>&1 &
  weston_pid=$!; pids+=("$weston_pid")
  weston_ready() { test -S "$XDG_RUNTIME_DIR/compositor-control" && test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"; }
  wait_for 10 weston_ready || { cat "$work/weston.log"; return 1; }
}

# check_ends_with_zero PID: the process ends within 5 s (a zombie counts: the test is its parent)
# and its exit status is 0.
check_ends_with_zero() {
  local pid=$1 status
  ended() { ! kill -0 "$pid" 2>/dev/null || grep -q '^State:.*Z' "/proc/$pid/status"; }
  if wait_for 5 ended; then
    wait "$pid"; status=$?
    check "a close request ends the program with exit 0 (it did with $status)" test $status -eq 0
  else
    fail "a close request ends the program"
  fi
}
