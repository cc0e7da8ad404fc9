#!/usr/bin/env bash
# What the running clock costs: CPU time of the program and of the display server together, as a
# percentage of one core, over SECONDS (default 60), under Xvfb or, with --wayland, as a native
# Wayland client of a headless weston; and the program's resident memory at the end.
#
#   bench/measure-cpu.sh [--seconds N] [--smooth-motion on|off] [--program PATH] [--xclock]
#                        [--size WxH] [--wayland] [--switches] [--instructions]
#
# The clock runs with smooth hand shapes and shadow on, smooth motion as asked, in a fresh home:
# by default in its 480 x 640 window with the 480 default skin on a 640 x 800 screen; with
# --size, full screen on a screen of WxH with the default skin of that screen's size class.
# --xclock measures `xclock -analog -render -update 0.1` at 480 x 480 instead, for comparison.
# --wayland runs weston's headless backend (pixman renderer) with the desktop shell and the
# compositor-control module (tools/weston-control) (built with libweston-10-dev), whose tap puts
# the clock in full screen for --size; the compositor's CPU is weston's own, not its helper
# clients' (the shell's background and the on-screen keyboard, idle here).
# --switches also prints, per thread of the program, how often it gave up the CPU (woke up again)
# and was pre-empted over the same window: the cost that isn't in the instructions.
# Needs a build (./run.sh or ./test.sh made build/bin/marovellastrine); --program measures
# another build's program instead, to compare two builds.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
smooth=on
subject=clock
program=build/bin/marovellastrine
size=
wayland=false
switches=false
instructions=false
while [ $# -gt 0 ]; do
  case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --smooth-motion) smooth=$2; shift 2 ;;
    --program) program=$2; shift 2 ;;
    --xclock) subject=xclock; shift ;;
    --size) size=$2; shift 2 ;;
    --wayland) wayland=true; shift ;;
    --switches) switches=true; shift ;;
    --instructions) instructions=true; shift ;;
    *) echo "usage: $0 [--seconds N] [--smooth-motion on|off] [--program PATH] [--xclock] [--size WxH] [--wayland] [--switches] [--instructions]" >&2
       exit 2 ;;
  esac
done

[ -x "$program" ] || { echo "error: $program not built" >&2; exit 1; }
if [ -n "$size" ] && ! [[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]]; then
  echo "error: --size wants WxH, such as 1080x1920" >&2; exit 2
fi
control_module=build/lib/marovellastrine-weston-control.so
control=build/bin/marovellastrine-weston-ctl
if $wayland; then
  [ $subject = clock ] || { echo "error: --xclock is X11 only" >&2; exit 2; }
  command -v weston >/dev/null || { echo "error: weston is not installed (Debian package weston)" >&2; exit 1; }
  [ -f $control_module ] && [ -x $control ] ||
    { echo "error: $control_module not built (needs libweston-10-dev)" >&2; exit 1; }
elif [ -n "$size" ] && [ $subject = clock ] && ! command -v xdotool >/dev/null; then
  echo "error: --size needs xdotool to switch the clock to full screen" >&2; exit 1
fi
if [ $subject = xclock ] && ! command -v xclock >/dev/null; then
  echo "error: xclock is not installed (Debian package x11-apps)" >&2; exit 1
fi

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

screen=${size:-640x800}
if $wayland; then
  mkdir -m 700 "$work/runtime"
  export XDG_RUNTIME_DIR=$work/runtime WAYLAND_DISPLAY=wayland-bench
  weston --config="$PWD/tests/e2e/weston-test.ini" --backend=headless-backend.so --use-pixman \
    --socket=$WAYLAND_DISPLAY --width="${screen%x*}" --height="${screen#*x}" --idle-time=0 \
    --modules="$PWD/$control_module" >"$work/weston.log" 2>&1 &
  server=$!; pids+=("$server")
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/compositor-control" ] && break; sleep 0.1; done
  [ -S "$XDG_RUNTIME_DIR/compositor-control" ] || { echo "error: weston did not start:" >&2; cat "$work/weston.log" >&2; exit 1; }
  display_env=(QT_QPA_PLATFORM=wayland QT_WAYLAND_DISABLE_WINDOWDECORATION=1)
else
  Xvfb "$display" -screen 0 "${screen}x24" -nolisten tcp >/dev/null 2>&1 &
  server=$!; pids+=("$server")
  for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  display_env=(DISPLAY="$display" QT_QPA_PLATFORM=xcb)
fi

flag() { [ "$1" = on ] && echo 1 || echo 0; }
mkdir -p "$work/config/tev-platform"
cat > "$work/config/tev-platform/current-user.store" <<STORE
[Software\\TEV\\Marovellastrine]
AntiAliased = dword:0x0000000${MV_AA:-1}
Shadow = dword:0x0000000${MV_SHADOW:-1}
Smooth = dword:0x0000000$(flag "$smooth")
STORE

wrapper=()
if $instructions; then
  [ $subject = clock ] || { echo "error: --instructions measures the clock only" >&2; exit 2; }
  command -v callgrind_control >/dev/null || { echo "error: valgrind is not installed" >&2; exit 1; }
  wrapper=(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$work/callgrind.out")
fi
if [ $subject = clock ]; then
  env HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" "${display_env[@]}" \
    "${wrapper[@]}" "$program" >"$work/out.log" 2>&1 &
else
  DISPLAY=$display xclock -analog -render -update 0.1 -geometry 480x480+0+0 >"$work/out.log" 2>&1 &
fi
subject_pid=$!; pids+=("$subject_pid")
# Start-up and the first frames are not part of the steady cost (slower under callgrind).
if $instructions; then sleep 20; else sleep 5; fi
if [ -n "$size" ] && $wayland; then
  # A tap switches the clock to full screen.
  window=$("$control" list | awk -F'\t' '$1 == "TEV:: Marovellastrine" { print $2 }')
  [ -n "$window" ] || { echo "error: the clock's window did not show" >&2; exit 1; }
  position=${window% *}
  "$control" click $((${position%,*} + 100)) $((${position#*,} + 100))
  sleep 2
  shown=$("$control" list | awk -F'\t' '$1 == "TEV:: Marovellastrine" { print $2 " " $3 }')
  [ "$shown" = "0,0 $size fullscreen" ] || { echo "error: the clock shows as $shown, not full screen" >&2; exit 1; }
elif [ -n "$size" ] && [ $subject = clock ]; then
  # A tap switches the clock to full screen.
  window=$(DISPLAY=$display xdotool search --name '^TEV:: Marovellastrine$' | head -n 1)
  [ -n "$window" ] || { echo "error: the clock's window did not show" >&2; exit 1; }
  DISPLAY=$display xdotool mousemove --window "$window" 100 100 click 1
  sleep 2
  shown=$(DISPLAY=$display xdotool getwindowgeometry "$window" | awk '/Geometry/ { print $2 }')
  [ "$shown" = "$size" ] || { echo "error: the clock shows at $shown, not full screen" >&2; exit 1; }
fi

# CPU time in nanoseconds of all threads of a process (the scheduler's own account, finer than
# the 10 ms ticks of /proc/PID/stat).
cpu_ns() { cat /proc/"$1"/task/*/schedstat | awk '{ sum += $1 } END { printf "%d", sum }'; }
kill -0 "$subject_pid" 2>/dev/null || { echo "error: the $subject did not start:" >&2; cat "$work/out.log" >&2; exit 1; }
# Per thread: its name and its voluntary and involuntary context switches so far.
switch_counts() {
  local task
  for task in /proc/"$1"/task/*; do
    printf '%s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")" \
      "$(awk '/^voluntary_ctxt/ { v = $2 } /^nonvoluntary_ctxt/ { n = $2 } END { print v, n }' "$task/status")"
  done | sort
}
$switches && switch_counts "$subject_pid" >"$work/switches.before"
if $instructions; then
  callgrind_control --instr=on "$subject_pid" >/dev/null 2>&1
  sleep "$seconds"
  callgrind_control --dump "$subject_pid" >/dev/null 2>&1
  total=$(awk '/^(summary|totals):/ { print $2; exit }' "$work"/callgrind.out.*)
  label="clock (smooth motion $smooth)"
  [ -n "$size" ] && label="$label on $size full screen"
  $wayland && label="$label under weston"
  echo "$label over $seconds s: $total instructions executed by the program"
  exit 0
fi
start_subject=$(cpu_ns "$subject_pid"); start_server=$(cpu_ns "$server")
sleep "$seconds"
end_subject=$(cpu_ns "$subject_pid"); end_server=$(cpu_ns "$server")
$switches && switch_counts "$subject_pid" >"$work/switches.after"
rss_kib=$(awk '/^VmRSS:/ { print $2 }' /proc/"$subject_pid"/status)

awk -v s=$((end_subject - start_subject)) -v x=$((end_server - start_server)) -v hz=1000000000 \
    -v t="$seconds" -v what="$subject" -v smooth="$smooth" -v size="$size" -v rss="$rss_kib" \
    -v wayland="$wayland" 'BEGIN {
  label = what == "xclock" ? "xclock -update 0.1" : "clock (smooth motion " smooth ")"
  if (size != "") label = label " on " size (what == "xclock" ? "" : " full screen")
  if (wayland == "true") label = label " under weston"
  printf "%s over %d s: program %.3f%%, %s %.3f%%, together %.3f%% of one core; " \
         "program resident %.1f MiB\n", label, t, 100 * s / hz / t,
         wayland == "true" ? "compositor" : "X server", 100 * x / hz / t, 100 * (s + x) / hz / t,
         rss / 1024 }'
if $switches; then
  join "$work/switches.before" "$work/switches.after" | awk -v t="$seconds" '{
    printf "  thread %-16s woke %6d times, pre-empted %5d times over %d s\n", $2, $6 - $3, $7 - $4, t }'
fi
