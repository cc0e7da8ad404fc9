#!/usr/bin/env bash
# End-to-end: installs the program into a temporary prefix and runs the installed program under
# Xvfb on an empty home, driving it with xdotool and looking at what it draws (ImageMagick),
# without CAP_SYS_TIME and without a system bus.  Usage: test_e2e_app.sh BUILD_DIR X11_PROBE
# Exits 0 when every check passes, 1 when one fails, 77 (skipped) without the tools.
set -uo pipefail

build=$1
probe=$2
title='TEV:: Marovellastrine'
screen_w=1024 # larger than the window, so full screen shows in the geometry; the shorter
screen_h=768  # side (768) puts the screen in the 720 size class

source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb xdotool import compare identify setpriv

# --- installation ---------------------------------------------------------------------------
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; fail "cmake --install"; exit 1; }
data=$prefix/share/marovellastrine
# The package check covers the packaged files; the programs run from here prove the rest.
check "installed the loopback preload" test -s "$prefix/lib/marovellastrine/libmarovellastrine-bind-loopback.so"
for anchor in dialog_main dialog_preferences dialog_about dialog_pick_skin; do
  check "help page has the topic $anchor" grep -q "id=\"$anchor\"" "$data/help/Marovellastrine.htm"
done
check "help page loads nothing from elsewhere" \
  bash -c "! grep -Eiq '(src|href)=\"(https?:)?//' '$data/help/Marovellastrine.htm'"
command -v xmllint >/dev/null && check "help page is well-formed" xmllint --noout "$data/help/Marovellastrine.htm"

start_xvfb $screen_w $screen_h || { fail "Xvfb started"; exit 1; }

home=$work/home
mkdir -p "$home" "$work/runtime" && chmod 700 "$work/runtime"
skins=$home/.local/share/TEV/Marovellastrine/Skins
run_clock() { run_isolated "$home" "$work/runtime" "$prefix/bin/marovellastrine" QT_QPA_PLATFORM=xcb; }
# Top-level windows only (no window manager reparents them).
visible_windows() { xdotool search --maxdepth 1 --onlyvisible --name "$1" 2>/dev/null | sort -u; }
geometry() { xdotool getwindowgeometry "$1" | awk '/Position/ { p = $2 } /Geometry/ { g = $2 } END { print p " " g }'; }

run_clock >"$work/clock.log" 2>&1 &
clock=$!; pids+=("$clock")
window_shown() { [ -n "$(visible_windows "^$title\$")" ]; }
if ! wait_for 10 window_shown; then
  cat "$work/clock.log"; fail "the clock's window appears"; exit 1
fi
window=$(visible_windows "^$title\$" | head -1)
sleep 1 # past the 200 ms start-up timer that prunes the default skins, and the first frames

check "one window, no message box" test "$(visible_windows . | wc -l)" -eq 1
check "only the default skin of the screen's class is left" \
  test "$(find "$skins" -mindepth 1 -printf '%f ' 2>/dev/null)" = "default_720.scs "
check "the kept default skin is the installed one" cmp -s "$skins/default_720.scs" "$data/skins/default_720.scs"

# The clock as drawn: in normal mode a picture of many colours; in full screen the skin tool's.
shot() { import -window "$window" "$work/$1.png" 2>/dev/null && convert "$work/$1.png" +repage "$work/$1.png"; }
many_colours() { shot "$1" && [ "$(identify -format '%k' "$work/$1.png")" -ge 64 ]; }
shows_face() {
  shot "$1" && matches_render "$work/$1.png" "$prefix/bin/marovellastrine-skin" "$data/skins/default_720.scs" 96
}
check "the clock is drawn" many_colours normal

normal=$(geometry "$window")
full="0,0 ${screen_w}x${screen_h}"
geometry_is() { [ "$(geometry "$window")" = "$1" ]; }
tap() { xdotool mousemove --window "$window" 100 100 click 1; }
tap
check "a tap switches to full screen ($normal -> $full)" wait_for 3 geometry_is "$full"
sleep 0.5
check "the face fills the full screen" shows_face full-screen
tap
check "a second tap switches back ($normal)" wait_for 3 geometry_is "$normal"

# A second start raises the first and ends at once.
started=$(date +%s%N)
(run_clock >"$work/second.log" 2>&1)
second_status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
check "a second start exits 0 (it did with $second_status)" test $second_status -eq 0
check "a second start ends within a second (${elapsed_ms} ms)" test $elapsed_ms -lt 1000
check "a second start leaves the first instance alone" test "$(visible_windows . | wc -l)" -eq 1 -a -d "/proc/$clock"

# The close request with Preferences open. "Menu" is the right half of the bar along the window's
# bottom; Preferences is the third item that can be chosen ("Synchronize" is greyed).
read -r _ menu_size < <(geometry "$window")
xdotool mousemove --window "$window" $((${menu_size%x*} * 3 / 4)) $((${menu_size#*x} - 10)) click 1
sleep 0.5
xdotool key Down Down Down Return
preferences_open() { xdotool search --onlyvisible --name '^Preferences$' >/dev/null 2>&1; }
check "Preferences opens from the menu" wait_for 3 preferences_open
"$probe" close "$window"
check_ends_with_zero "$clock"

if [ $failures -ne 0 ]; then
  echo "--- program output"; cat "$work/clock.log"
  echo "test_e2e_app: $failures check(s) failed"; exit 1
fi
echo "test_e2e_app: all checks passed"
