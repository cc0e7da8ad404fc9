#!/usr/bin/env bash
# Takes the pictures in docs/screenshots/ under Xvfb at 480 x 640: the main window, its menu,
# Preferences, About and the skin picker, driving the program with xdotool as a user would; then
# the clock full screen on a 1080 x 1920 phone and on a 1920 x 1080 wall display.
#
#   tools/take-screenshots.sh [--build DIR]
#
# The program runs on a fresh home with its default settings and skin, without CAP_SYS_TIME.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
[ "${1:-}" = --build ] && build=$2
program=$build/bin/marovellastrine
[ -x "$program" ] || { echo "error: $program not built (./run.sh or ./test.sh builds it)" >&2; exit 1; }
out=docs/screenshots
mkdir -p "$out"

# The picker shows the file system from /, opened at the skin in this home: a short path under
# /var/tmp keeps the picture tidy.
work=$(mktemp -d -p /var/tmp mv-shots.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# start_clock WIDTH HEIGHT: a display of that size and the program on a fresh home in it.
start_clock() {
  width=$1
  height=$2
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 ${width}x${height}x24 -nolisten tcp -br 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "error: Xvfb did not start" >&2; exit 1; }
  DISPLAY=:$(head -1 "$work/display")
  export DISPLAY

  home=$work/home-${width}x$height
  mkdir -p "$home" "$work/runtime-$width" && chmod 700 "$work/runtime-$width"
  env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
      XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$work/runtime-$width" QT_QPA_PLATFORM=xcb \
      DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
      setpriv --inh-caps -sys_time --ambient-caps -sys_time --bounding-set -sys_time "$program" \
      >"$work/clock.log" 2>&1 &
  pids+=($!)
}
# stop_clock: ends the program and its display.
stop_clock() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  pids=()
}

start_clock 480 640

# wait_window TITLE: waits until a window with exactly this title is shown.
wait_window() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  echo "error: no window \"$1\" appeared; the program said:" >&2
  cat "$work/clock.log" >&2
  exit 1
}
shot() { sleep 0.6; import -window root "$out/$1.png"; echo "$out/$1.png"; }
# The "Menu" soft key: the right half of the soft-key bar along the bottom of the window.
open_menu() { xdotool mousemove $((width * 3 / 4)) $((height - 10)) click 1; sleep 0.5; }
# menu_item KEYS...: with the menu open, moves to an item with the arrow keys (the greyed
# "Synchronize" is skipped) and chooses it.
menu_item() { xdotool key "$@" Return; }
# close_dialog TITLE: Escape closes (or cancels) the dialog; waits until only the clock is left.
close_dialog() {
  xdotool key Escape
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.05
  done
  echo "error: the window \"$1\" did not close" >&2; exit 1
}

wait_window 'TEV:: Marovellastrine'
shot main-window

open_menu
shot menu
menu_item Down Down Down # Full Screen, (Synchronize), Load Skin..., Preferences...
wait_window Preferences
shot preferences
close_dialog Preferences

open_menu
menu_item Up # About, the last item
wait_window About
shot about
close_dialog About

open_menu
menu_item Down Down # Full Screen, (Synchronize), Load Skin...
wait_window 'Pick Skin'
shot pick-skin
close_dialog 'Pick Skin'
stop_clock

# Full screen by a tap on the window (after the first second: a tap that activates it only does that).
for screen in phone:1080:1920 wall-display:1920:1080; do
  IFS=: read -r name w h <<<"$screen"
  start_clock "$w" "$h"
  wait_window 'TEV:: Marovellastrine'
  sleep 1
  xdotool mousemove $((w / 2)) $((h / 2)) click 1 # the window is centred
  sleep 0.5
  shot "$name"
  stop_clock
done
