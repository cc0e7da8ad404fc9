#!/usr/bin/env bash
# End-to-end: the program from the build tree, with a fresh home each time, on a 1080 x 1920 phone
# screen at scale 1, 2 and 3 and on a 1920 x 1080 wall display. A tap puts it in full screen; the
# face must then be the 1080 default skin as the skin tool draws it in device pixels at that
# resolution, and the dial with its bezel must span at least 85 % of the shorter side. The program
# runs without CAP_SYS_TIME and without a system bus.
#
#   tests/e2e/test_e2e_screens.sh BUILD_DIR
#
# Exits 0 when every check passes, 1 when one fails, 77 (skipped) without Xvfb, xdotool or
# ImageMagick.
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
    check "$name: the dial spans at least 85 % of the shorter side" dial_spans "$run/shot.png"
  else
    cat "$run/clock.log"; fail "$name: the clock's window appears"
  fi
  for pid in "${pids[@]:$first}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  pids=("${pids[@]:0:$first}")
}

# The screen against the skin tool's render of the same skin, size and time, at the resolution the
# scale gives (96 dots per inch per unit of scale); the second hand may have moved on a little.
shows_face() { # shows_face RUN SCALE
  import -window root "$1/shot.png" 2>/dev/null &&
    matches_render "$1/shot.png" "$build/bin/marovellastrine-skin" "$skin" $((96 * $2))
}

# Along the line through the screen's centre across its shorter side, the dial with its bezel is
# what differs from the background. The background is a vertical gradient, so each pixel is
# compared with the one at the left edge of its row.
dial_spans() { # dial_spans SHOT
  local width height shorter centre edge
  read -r width height < <(identify -format '%w %h' "$1")
  if [ "$width" -le "$height" ]; then
    shorter=$width
    centre="${width}x1+0+$((height / 2))"; edge="1x1+0+$((height / 2))"
  else
    shorter=$height
    centre="1x${height}+$((width / 2))+0"; edge="1x${height}+0+0"
  fi
  pixels() { convert "$1" -crop "$2" +repage -depth 8 txt:- | awk -F'[()]' 'NR > 1 { print $2 }'; }
  local span
  # The first and the last pixel more than 24 levels away from the background of their row.
  span=$(awk -F, -v n="$shorter" 'NR == FNR { r[FNR] = $1; g[FNR] = $2; b[FNR] = $3; next }
           { i = (FNR in r) ? FNR : 1
             d = ($1 - r[i]) ^ 2 + ($2 - g[i]) ^ 2 + ($3 - b[i]) ^ 2
             if (d > 24 * 24) { if (!first) first = FNR; last = FNR } }
           END { print first ? last - first + 1 : 0 }' \
         <(pixels "$1" "$edge") <(pixels "$1" "$centre"))
  echo "  the dial spans $span of $shorter pixels"
  [ $((span * 100)) -ge $((shorter * 85)) ]
}

on_screen 1080 1920 1
on_screen 1920 1080 1
on_screen 1080 1920 2
on_screen 1080 1920 3

if [ $failures -ne 0 ]; then echo "test_e2e_screens: $failures check(s) failed"; exit 1; fi
echo "test_e2e_screens: all checks passed"
