#!/usr/bin/env bash
# End-to-end: the program from the build tree as a native Wayland client of a headless weston
# (640 x 800, the 480 size class) with smooth motion on, driven through the compositor-control
# module. Checks the face against the skin tool's render, the partial frames it commits (from its
# WAYLAND_DEBUG=client log), full screen by a tap, and a close request with Preferences open.
# Without CAP_SYS_TIME and a system bus. Usage: test_e2e_wayland.sh BUILD_DIR CONTROL_MODULE
# CONTROL_CLIENT; exits 77 (skipped) without the tools or the module.
set -uo pipefail

build=$1
module=$2
ctl=$3
title='TEV:: Marovellastrine'
screen_w=640
screen_h=800
skin=$build/share/marovellastrine/skins/default_480.scs

source "$(dirname "$0")/e2e_common.sh"
[ -f "$module" ] && [ -x "$ctl" ] || { echo "skipped: the compositor-control module is not built (libweston-10-dev)"; exit 77; }
require_tools weston weston-screenshooter compare identify convert setpriv
start_weston $screen_w $screen_h "$module" || { fail "weston started"; exit 1; }

home=$work/home
mkdir -p "$home/.config/tev-platform"
cat >"$home/.config/tev-platform/current-user.store" <<STORE
[Software\\TEV\\Marovellastrine]
Smooth = dword:0x00000001
STORE
# Without client-side decorations the clock's surface starts at the toplevel's position.
run_isolated "$home" "$XDG_RUNTIME_DIR" "$build/bin/marovellastrine" QT_QPA_PLATFORM=wayland \
  QT_WAYLAND_DISABLE_WINDOWDECORATION=1 WAYLAND_DEBUG=client >"$work/clock.log" 2>"$work/wayland.log" &
clock=$!; pids+=("$clock")

# toplevel TITLE: "X,Y WxH normal|fullscreen" of the toplevel with that title, false without one.
toplevel() { "$ctl" list | awk -F'\t' -v t="$1" '$1 == t { print $2 " " $3; found = 1 } END { exit !found }'; }
window_is() { [ "$(toplevel "$title")" = "$1" ]; }
wait_for 10 toplevel "$title" >/dev/null || { cat "$work/clock.log"; fail "the clock's window appears"; exit 1; }
sleep 1 # a tap right after the window is activated doesn't count
read -r position size mode < <(toplevel "$title")
normal="$position $size normal"
window_x=${position%,*} window_y=${position#*,} window_w=${size%x*} window_h=${size#*x}
check "the window opens at the 480 class's 480 x 640" test "$size" = 480x640

# shot NAME: the whole output, as $work/NAME.png.
shot() {
  mkdir -p "$work/shots" && rm -f "$work/shots"/*.png
  (cd "$work/shots" && weston-screenshooter >/dev/null 2>&1) && mv "$work/shots"/*.png "$work/$1.png"
}
matches_face() { # matches_face NAME WxH+X+Y: that part of the shot against the skin tool
  convert "$work/$1.png" -crop "$2" +repage "$work/$1-face.png" &&
    matches_render "$work/$1-face.png" "$build/bin/marovellastrine-skin" "$skin" 96
}
# The face ends above the soft-key bar: at the lowest dark row of the window's left column.
face_height() {
  convert "$work/$1.png" -crop "1x$window_h+$((window_x + 2))+$window_y" +repage -colorspace gray \
    -depth 8 txt:- | awk -F'[(),]' 'NR > 1 && $3 + 0 < 128 { last = $2 + 1 } END { print last + 0 }'
}

shot normal
face_h=$(face_height normal)
face_w=$window_w
check "the face leaves room for the soft-key bar" test "$face_h" -gt $((window_h * 3 / 4)) -a "$face_h" -lt "$window_h"
check "the face in the window is the 480 skin's" matches_face normal "${face_w}x$face_h+$window_x+$window_y"

# Partial frames. The face's surface is the one with the most damaged commits in the period (the
# window's, or the face's own subsurface). Some commit asks for a frame callback (the presenter
# asks every two seconds), and each damages a small part of the face inside the dial's circle
# around the hands' pivot. A surface's first commit in the period only opens it.
frame_seconds=3
from=$(wc -l <"$work/wayland.log")
sleep $frame_seconds
to=$(wc -l <"$work/wayland.log")
frame_report=$(sed -n "$((from + 1)),${to}p" "$work/wayland.log" | awk -v w="$face_w" -v h="$face_h" '
  function inside(x, y) { return (x - w / 2) ^ 2 + (y - h / 2) ^ 2 <= r * r }
  BEGIN { r = (w < h ? w : h) / 2 }
  match($0, /-> wl_surface@[0-9]+\./) {
    id = substr($0, RSTART + 14, RLENGTH - 15); request = substr($0, RSTART + RLENGTH)
    if (request ~ /^frame\(/) framed[id] = 1
    if (request ~ /^damage(_buffer)?\(/) {
      split(substr(request, index(request, "(") + 1), v, /[ ,)]+/)
      area[id] += v[3] * v[4]
      if (!inside(v[1], v[2]) || !inside(v[1] + v[3], v[2]) || !inside(v[1], v[2] + v[4]) ||
          !inside(v[1] + v[3], v[2] + v[4])) outside[id]++
    }
    if (request ~ /^commit\(/) {
      if (!opened[id]++) { framed[id] = 0; area[id] = 0; next } # what came before the period
      commits[id]++
      if (area[id] > 0) damaged[id]++
      if (framed[id]) with_frame[id]++
      if (area[id] > largest[id]) largest[id] = area[id]
      framed[id] = 0; area[id] = 0
    }
  }
  END {
    for (id in commits) if (damaged[id] > damaged[face]) face = id
    printf "%d %d %d %d %s\n", commits[face], with_frame[face], largest[face], outside[face], face
  }')
read -r commits framed largest outside surface <<<"$frame_report"
echo "  wl_surface@$surface: $commits commits, $framed framed, largest damage $largest, $outside outside"
check "the face gets 7 to 13 frames a second ($commits in $frame_seconds s)" \
  test "$commits" -ge $((7 * frame_seconds)) -a "$commits" -le $((13 * frame_seconds))
check "the compositor is asked for frame callbacks ($framed in $frame_seconds s)" test "$framed" -ge 1
check "each frame damages less than a sixth of the face" test $((largest * 6)) -lt $((face_w * face_h))
check "each frame damages only the dial's circle" test "$outside" -eq 0

full="0,0 ${screen_w}x$screen_h fullscreen"
# The first tap is a touch, the others pointer clicks.
"$ctl" touch $((window_x + 100)) $((window_y + 100))
check "a tap switches to full screen ($full)" wait_for 3 window_is "$full"
sleep 0.7 # the frames after the resize
shot full-screen
check "the face fills the output" matches_face full-screen "${screen_w}x$screen_h+0+0"
"$ctl" click 100 100
check "a second tap switches back ($normal)" wait_for 3 window_is "$normal"

# The close request with Preferences open. "Menu" is the right half of the bar along the window's
# bottom; Preferences is its third item that can be chosen ("Synchronize" is greyed).
sleep 0.5
"$ctl" click $((window_x + window_w * 3 / 4)) $((window_y + window_h - 10))
sleep 0.5
for key in 108 108 108 28; do "$ctl" key $key; done # down, down, down, enter
preferences_open() { toplevel Preferences >/dev/null; }
check "Preferences opens from the menu" wait_for 3 preferences_open
"$ctl" close "$title"
check_ends_with_zero "$clock"

if [ $failures -ne 0 ]; then
  echo "--- program output"; cat "$work/clock.log"
  echo "test_e2e_wayland: $failures check(s) failed"; exit 1
fi
echo "test_e2e_wayland: all checks passed"
