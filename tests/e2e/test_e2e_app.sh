#!/usr/bin/env bash
# End-to-end: installs the program into a temporary prefix and runs the installed program under
# Xvfb on an empty home, driving it as a user would (xdotool) and looking at what it draws
# (ImageMagick). The program runs without CAP_SYS_TIME and without a system bus, so it can never
# change the machine's clock.
#
#   tests/e2e/test_e2e_app.sh BUILD_DIR X11_PROBE
#
# Exits 0 when every check passes, 1 when one fails, 77 (skipped) without Xvfb, xdotool or
# ImageMagick.
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
for file in bin/marovellastrine bin/marovellastrine-skin bin/marovellastrine-sync \
            lib/marovellastrine/libmarovellastrine-bind-loopback.so \
            share/marovellastrine/skins/default_240.scs share/marovellastrine/skins/default_320.scs \
            share/marovellastrine/skins/default_480.scs share/marovellastrine/skins/default_720.scs \
            share/marovellastrine/skins/default_1080.scs share/marovellastrine/skins/default_1440.scs \
            share/marovellastrine/help/Marovellastrine.htm \
            share/applications/marovellastrine.desktop \
            share/icons/hicolor/scalable/apps/marovellastrine.svg; do
  check "installed $file" test -s "$prefix/$file"
done
for tool in marovellastrine-nmea-feeder marovellastrine-make-skins marovellastrine-x11-probe; do
  check "test and build tool $tool not installed" test ! -e "$prefix/bin/$tool"
done
for anchor in dialog_main dialog_preferences dialog_about dialog_pick_skin; do
  check "help page has the topic $anchor" grep -q "id=\"$anchor\"" "$data/help/Marovellastrine.htm"
done
check "help page loads nothing from elsewhere" \
  bash -c "! grep -Eiq '(src|href)=\"(https?:)?//' '$data/help/Marovellastrine.htm'"
if command -v xmllint >/dev/null; then
  check "help page is well-formed" xmllint --noout "$data/help/Marovellastrine.htm"
fi
if command -v desktop-file-validate >/dev/null; then
  check "desktop entry is valid" desktop-file-validate "$prefix/share/applications/marovellastrine.desktop"
fi

# --- the display and the program's environment ------------------------------------------------
start_xvfb $screen_w $screen_h || { fail "Xvfb started"; exit 1; }

home=$work/home
mkdir -p "$home" "$work/runtime" && chmod 700 "$work/runtime"
skins=$home/.local/share/TEV/Marovellastrine/Skins
# The installed program, unable to set the clock, on the empty home.
run_clock() { run_isolated "$home" "$work/runtime" "$prefix/bin/marovellastrine" QT_QPA_PLATFORM=xcb; }
# Top-level windows only (no window manager reparents them): the program's windows, not their parts.
visible_windows() { xdotool search --maxdepth 1 --onlyvisible --name "$1" 2>/dev/null | sort -u; }
geometry() { xdotool getwindowgeometry "$1" | awk '/Position/ { p = $2 } /Geometry/ { g = $2 } END { print p " " g }'; }

# --- first start ------------------------------------------------------------------------------
run_clock >"$work/clock.log" 2>&1 &
clock=$!; pids+=("$clock")
window_shown() { [ -n "$(visible_windows "^$title\$")" ]; }
if ! wait_for 10 window_shown; then
  cat "$work/clock.log"; fail "the clock's window appears"; exit 1
fi
window=$(visible_windows "^$title\$" | head -1)
sleep 1 # past the 200 ms start-up timer that prunes the default skins, and the first frames

capability_mask=$(awk '/^CapEff:/ { print $2 }' "/proc/$clock/status")
check "the program runs without CAP_SYS_TIME" test $(( 0x$capability_mask >> 25 & 1 )) -eq 0
# Message boxes carry the program's title too, but are far smaller than the clock.
main_sized() { read -r _ size < <(geometry "$window"); [ "${size%x*}" -ge 240 ] && [ "${size#*x}" -ge 240 ]; }
check "one window, no message box" test "$(visible_windows . | wc -l)" -eq 1
check "the window is the clock's, not a message box" main_sized
check "only the default skin of the screen's class is left" \
  test "$(find "$skins" -mindepth 1 -printf '%f ' 2>/dev/null)" = "default_720.scs "
check "the kept default skin is the installed one" cmp -s "$skins/default_720.scs" "$data/skins/default_720.scs"

# The clock as drawn: not blank (a face has many colours) and no empty band (each quarter of the
# window's height less than 80 % one colour, as a face drawn in only part of the window would be);
# in full screen, also the 720 default skin's face as the skin tool draws it at the same size and
# time (the second hand may have moved on, so a small difference is allowed).
not_blank() { # not_blank NAME
  local shot=$work/$1.png colours width height quarter largest
  import -window "$window" "$shot" 2>/dev/null || return 1
  convert "$shot" +repage "$shot"
  colours=$(identify -format '%k' "$shot")
  read -r width height < <(identify -format '%w %h' "$shot")
  echo "  $1: ${width}x$height, $colours colours"
  [ "$colours" -ge 64 ] || return 1
  for quarter in 0 1 2 3; do
    largest=$(convert "$shot" -crop "${width}x$((height / 4))+0+$((quarter * height / 4))" +repage \
                -format %c histogram:info:- | sort -rn | awk 'NR == 1 { print $1 + 0 }')
    [ $((largest * 4 * 100 / (width * height))) -lt 80 ] ||
      { echo "  $1: quarter $quarter of the window is almost one colour"; return 1; }
  done
}
shows_face() { # shows_face NAME
  not_blank "$1" && matches_render "$work/$1.png" "$prefix/bin/marovellastrine-skin" \
    "$data/skins/default_720.scs" 96
}

check "the clock is drawn" not_blank normal

# --- full screen by a tap, and back ----------------------------------------------------------
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

# --- a second start ---------------------------------------------------------------------------
started=$(date +%s%N)
(run_clock >"$work/second.log" 2>&1)
second_status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
check "a second start exits 0 (it did with $second_status)" test $second_status -eq 0
check "a second start ends within a second (${elapsed_ms} ms)" test $elapsed_ms -lt 1000
check "a second start leaves one window" test "$(visible_windows . | wc -l)" -eq 1
check "the first instance still runs" kill -0 "$clock"

# --- the close request, with Preferences open -------------------------------------------------
# The "Menu" soft key is the right half of the bar along the window's bottom; Preferences is the
# third item that can be chosen ("Synchronize" is greyed).
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
