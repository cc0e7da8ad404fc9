#!/usr/bin/env bash
# Start-up to the first drawn frame, and peak memory, under Xvfb at 480 x 640.
#
#   bench/measure-startup.sh [--runs N] [--build DIR]
#
# The first drawn frame: the moment, counted from just before the program is started, at which its
# first mapped top-level window holds the clock face, seen from outside through the X server: at
# least 8 distinct colours on the window's rows at a third and half of its height (before that
# the window shows one background colour). marovellastrine-x11-probe polls for it every
# millisecond; the program itself is not changed or asked. Peak memory is the kernel's
# high-water mark of the program's resident memory (VmHWM) one second after that frame.
#
# Two cases, N runs each (default 10), medians quoted: the first start on an empty home (the
# per-user installation copies the default skins) and a later start (skins and settings present).
# Each run closes the program with a close request and expects exit code 0. The program runs
# without CAP_SYS_TIME. Goal: at most 300 ms to the first frame.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=10
build=build
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--build DIR]" >&2; exit 2 ;;
  esac
done
program=$build/bin/marovellastrine
probe=$build/bin/marovellastrine-x11-probe
for file in "$program" "$probe"; do
  [ -x "$file" ] || { echo "error: $file not built (./run.sh or ./test.sh builds it)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb=
cleanup() { [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 480x640x24 -nolisten tcp -br 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "error: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(head -1 "$work/display")
export DISPLAY

measure() { # measure HOME: one start; prints "MILLISECONDS KIB"
  local home=$1 out
  mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
  out=$(env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
        XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
        "$probe" first-frame --hold-ms 1000 -- \
        setpriv --inh-caps -sys_time --ambient-caps -sys_time --bounding-set -sys_time "$program" \
        2>"$work/probe.log") || { cat "$work/probe.log" >&2; echo "error: a run failed" >&2; exit 1; }
  awk -F= '/^first_frame_ms=/ { ms = $2 } /^peak_rss_kib=/ { kib = $2 } END { print ms, kib }' <<<"$out"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

report() { # report LABEL FILE
  local ms kib
  ms=$(cut -d' ' -f1 "$2" | median)
  kib=$(cut -d' ' -f2 "$2" | median)
  printf '%-34s first frame %6.1f ms median (min %.1f, max %.1f), peak memory %.1f MiB median\n' \
    "$1" "$ms" "$(cut -d' ' -f1 "$2" | sort -n | head -1)" "$(cut -d' ' -f1 "$2" | sort -n | tail -1)" \
    "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
}

: >"$work/first" && : >"$work/later"
for run in $(seq "$runs"); do
  measure "$work/home-$run" >>"$work/first"      # empty home
  measure "$work/home-$run" >>"$work/later"      # the same home, now set up
done

echo "Start-up at 480 x 640 under Xvfb, $runs runs each ($(basename "$program") from $build):"
report "first start (empty home):" "$work/first"
report "later start:" "$work/later"
