#!/usr/bin/env bash
# End-to-end: the program from the build tree, with a fresh home each time, on a 1080 x 1920 phone
# screen at scale 1, 2 and 3 and a 1920 x 1080 wall display: after a tap to full screen, the face
# is the 1080 default skin as the skin tool draws it in device pixels at that resolution. Without
# CAP_SYS_TIME and a system bus. Usage: test_e2e_screens.sh BUILD_DIR; exits 77 without the tools.
set -uo pipefail

build=$1
title='TEV:: Marovellastrine'
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb xdotool import compare identify convert setpriv

skin=$build/share/marovellastrine/skins/default_1080.scs
visible_window() { xdotool search --maxdepth 1 --onlyvisible --name "^$title\$" 2>/dev/null | head -1; }
geometry() { xdotool getwindowgeometry "$1" | awk '/Geometry/ { print $2 }'; }

# on_screen WIDTH HEIGHT SCALE: one start, one tap, the checks; stops the program and the display.
on_screen() {
  local width=$1 height=$2 scale=$3 name="${1}x${2}@$3"
  local run=$work/$name first=${#pids[@]}
  mkdir -p "$run/home" "$run/runtime" && chmod 700 "$run/runtime"
  start_xvfb "$width" "$height" || { fail "$name: Xvfb started"; return; }
  run_isolated "$run/home" "$run/runtime" "$build/bin/marovellastrine" QT_QPA_PLATFORM=xcb \
    QT_SCALE_FACTOR="$scale" QT_ENABLE_HIGHDPI_SCALING=1 >"$run/clock.log" 2>&1 &
  pids+=($!)
  local window=""
  window_found() { window=$(visible_window); [ -n "$window" ]; }
  if wait_for 10 window_found; then
    sleep 1 # a tap right after the window is activated doesn't count
    xdotool mousemove --window "$window" 100 100 click 1
    full_screen() { [ "$(geometry "$window")" = "${width}x$height" ]; }
    check "$name: a tap puts the clock in full screen" wait_for 3 full_screen
    sleep 0.7 # the frames after the resize
    check "$name: the face is the 1080 skin drawn in device pixels" shows_face "$run" "$scale"
  else
    cat "$run/clock.log"; fail "$name: the clock's window appears"
  fi
  for pid in "${pids[@]:$first}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  pids=("${pids[@]:0:$first}")
}

# shows_face RUN SCALE: the screen against the skin tool's render at 96 dots per inch per unit of scale.
shows_face() {
  import -window root "$1/shot.png" 2>/dev/null &&
    matches_render "$1/shot.png" "$build/bin/marovellastrine-skin" "$skin" $((96 * $2))
}

on_screen 1080 1920 1
on_screen 1920 1080 1
on_screen 1080 1920 2
on_screen 1080 1920 3

if [ $failures -ne 0 ]; then echo "test_e2e_screens: $failures check(s) failed"; exit 1; fi
echo "test_e2e_screens: all checks passed"
