# Sourced by the end-to-end tests: a work folder removed with every process the test started, the
# checks, an Xvfb display or a headless weston, the program on a home of its own, the skin tool.

# require_tools TOOL...: exits 77 (skipped) when one is missing.
require_tools() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }; done
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
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; } # check DESCRIPTION COMMAND...
wait_for() { # wait_for SECONDS COMMAND...: runs COMMAND until it succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.05; done
}

# start_xvfb WIDTH HEIGHT: exports DISPLAY; Xvfb writes its free display number to fd 3 when ready.
# A display that then takes no client (its server died, or its socket went with another server's
# shutdown) is replaced by a new server, up to three times.
start_xvfb() {
  local attempt xvfb
  for attempt in 1 2 3; do
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1x$2x24" -nolisten tcp -br 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb=$!; pids+=("$xvfb")
    wait_for 10 test -s "$work/display" || { cat "$work/xvfb.log"; return 1; }
    export DISPLAY=:$(head -1 "$work/display")
    wait_for 2 xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    echo "  Xvfb on $DISPLAY takes no client (attempt $attempt):"; cat "$work/xvfb.log"
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
  done
  return 1
}

# start_weston WIDTH HEIGHT MODULE [SCALE]: a headless weston with the compositor-control module
# (tools/weston-control) in $work/runtime; exports XDG_RUNTIME_DIR and WAYLAND_DISPLAY.
start_weston() {
  mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
  export XDG_RUNTIME_DIR=$work/runtime WAYLAND_DISPLAY=wayland-e2e
  local config
  config=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/weston-test.ini
  weston --config="$config" --backend=headless-backend.so \
    --use-pixman --socket="$WAYLAND_DISPLAY" --width="$1" --height="$2" --scale="${4:-1}" \
    --idle-time=0 --debug --modules="$3" >"$work/weston.log" 2>&1 &
  pids+=($!)
  weston_ready() { test -S "$XDG_RUNTIME_DIR/compositor-control" && test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"; }
  wait_for 10 weston_ready || { cat "$work/weston.log"; return 1; }
}

# check_ends_with_zero PID: ends within 5 s (a zombie counts) with exit status 0.
check_ends_with_zero() {
  local pid=$1 status="no end within 5 s"
  ended() { ! kill -0 "$pid" 2>/dev/null || grep -q '^State:.*Z' "/proc/$pid/status"; }
  wait_for 5 ended && { wait "$pid"; status=$?; }
  check "a close request ends the program with exit 0 ($status)" test "$status" = 0
}

# run_isolated HOME RUNTIME PROGRAM [VAR=VALUE...]: execs PROGRAM on HOME and its XDG folders with
# the assignments, no session or system bus, and without CAP_SYS_TIME (it can't set the clock).
run_isolated() {
  local home=$1 runtime=$2 program=$3; shift 3
  exec env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
      XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$runtime" \
      DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
      ASAN_OPTIONS=detect_leaks=0 "$@" \
      setpriv --inh-caps -sys_time --ambient-caps -sys_time --bounding-set -sys_time "$program"
}

# matches_render SHOT SKIN_TOOL SKIN DPI: SHOT against the skin tool's render of SKIN at its size,
# the current time and DPI; the second hand may have moved on: an RMSE below 0.08 passes.
matches_render() {
  local shot=$1 reference=${1%.png}-reference.png size error
  size=$(identify -format '%wx%h' "$shot")
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$2" render "$3" --size "$size" \
    --time "$(date +%H:%M:%S)" --smooth-shapes --shadow --dpi "$4" --out "$reference" \
    >/dev/null 2>&1 || { echo "  the skin tool could not render $size"; return 1; }
  error=$(compare -metric RMSE "$shot" "$reference" null: 2>&1 | sed -n 's/.*(\(.*\)).*/\1/p')
  echo "  $(basename "$shot" .png): RMSE against the face $error"
  awk -v e="$error" 'BEGIN { exit !(e != "" && e < 0.08) }'
}
