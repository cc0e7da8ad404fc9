#!/usr/bin/env bash
# End-to-end with GPS: the program under Xvfb reads a real gpsd on loopback fed by the NMEA feeder
# with a 3-D fix running seconds ahead. Connect shows the GPS indicator; Synchronize is refused
# (no CAP_SYS_TIME, no system bus) and the machine's clock stays untouched.
#   tests/e2e/test_e2e_gps.sh BUILD_DIR X11_PROBE
# Exits 0 when every check passes, 1 when one fails, 77 (skipped) when a tool is missing.
set -uo pipefail

build=$1
probe=$2
title='TEV:: Marovellastrine'
gps_ahead_ms=5700
expected_message=$'Time synchronization failed.\n\nThe system clock could not be changed.'

PATH=$PATH:/usr/sbin:/sbin # where gpsd usually lives
source "$(dirname "$0")/e2e_common.sh"
require_tools Xvfb xdotool xwininfo import compare convert setpriv gpsd

diagnostics() { for log in clock feeder gpsd; do echo "--- $log output"; cat "$work/$log.log" 2>/dev/null; done; }
give_up() { fail "$1"; diagnostics; exit 1; }

# Nothing the test starts reaches a real bus.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus

# The feeder picks a free port and says which; a second one, ended at once, finds one for gpsd.
start_feeder() { # start_feeder LOG ARGS...: sets feeder_pid and feeder_port
  "$build/bin/marovellastrine-nmea-feeder" --port 0 "${@:2}" >"$1" 2>&1 &
  feeder_pid=$!; pids+=("$feeder_pid")
  wait_for 5 grep -q '^listening ' "$1" && feeder_port=$(awk '/^listening / { print $2; exit }' "$1")
}
start_feeder "$work/feeder.log" --fix 3d --offset-ms $gps_ahead_ms ||
  give_up "the feeder says where it listens"
receiver_port=$feeder_port
start_feeder "$work/free-port.log" --stopped || give_up "a free port for gpsd"
kill "$feeder_pid"; wait "$feeder_pid" 2>/dev/null
gpsd_port=$feeder_port

# Foreground, reading without a client; the pid file and control socket stay in our folder.
gpsd -N -n -S "$gpsd_port" -P "$work/gpsd.pid" -F "$work/gpsd.sock" \
  "tcp://127.0.0.1:$receiver_port" >"$work/gpsd.log" 2>&1 &
gpsd_pid=$!; pids+=("$gpsd_pid")
gpsd_listens() { kill -0 "$gpsd_pid" 2>/dev/null && (exec 3<>"/dev/tcp/127.0.0.1/$gpsd_port") 2>/dev/null; }
wait_for 5 gpsd_listens || give_up "gpsd accepts connections on port $gpsd_port"

start_xvfb 1024 768 || give_up "Xvfb started"

home=$work/home
mkdir -p "$home/.config/tev-platform" "$work/runtime" && chmod 700 "$work/runtime"
# The GPS settings as the GPS settings page stores them: this gpsd, on loopback.
printf '[Software\\TEV\\Platform\\GPS]\nHost = sz:"127.0.0.1"\nPort = dword:0x%08X\n' "$gpsd_port" \
  >"$home/.config/tev-platform/current-user.store"
run_isolated "$home" "$work/runtime" "$build/bin/marovellastrine" QT_QPA_PLATFORM=xcb \
  >"$work/clock.log" 2>&1 &
clock=$!; pids+=("$clock")

# Top-level windows only (no window manager reparents them).
visible_windows() { xdotool search --maxdepth 1 --onlyvisible --name "^$title\$" 2>/dev/null | sort -u; }
window_shown() { [ -n "$(visible_windows)" ]; }
wait_for 10 window_shown || give_up "the clock's window appears"
window=$(visible_windows | head -1)
sleep 1 # past the start-up timer and the first frames

check "the program runs without CAP_SYS_TIME" test $((0x$(awk '/^CapEff:/ { print $2 }' "/proc/$clock/status") >> 25 & 1)) -eq 0

# The face is the child window as wide as the window at its top left; the soft-key bar lies below.
read -r width height < <(xdotool getwindowgeometry "$window" | awk -F'[ x]+' '/Geometry/ { print $3, $4 }')
face_height=$(xwininfo -children -id "$window" |
  awk -v w="$width" '$0 ~ " " w "x[0-9]+\\+0\\+0 " { split($0, a, " " w "x"); split(a[2], b, "+");
                      if (b[1] > h) h = b[1] } END { print h + 0 }')
if [ "$face_height" -le 0 ] || [ "$face_height" -ge "$height" ]; then
  give_up "the face and the soft-key bar are found (window ${width}x$height, face height $face_height)"
fi
bar_y=$(((face_height + height) / 2))

# The skin tool draws the face with and without the indicator; where they differ is its rectangle.
# A screenshot's rectangle is judged by which drawing it is closer to (a hand over it counts alike).
skin=$build/share/marovellastrine/skins/default_720.scs # the class of the 1024 x 768 screen
for variant in plain gps; do
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$build/bin/marovellastrine-skin" render \
    "$skin" --size "${width}x$face_height" --time 12:00:00 --smooth-shapes --shadow --dpi 96 \
    $([ $variant = gps ] && echo --gps) --out "$work/face-$variant.png" >/dev/null 2>&1 ||
    give_up "the skin tool draws the face ($variant)"
done
fuzz=8%
different_pixels() { compare -metric AE -fuzz $fuzz "$1" "$2" null: 2>&1 | awk '{ print int($1) }'; }
indicator=$(convert "$work/face-plain.png" "$work/face-gps.png" -compose difference -composite \
              -threshold $fuzz -format '%@' info:)
for variant in plain gps; do
  convert "$work/face-$variant.png" -crop "$indicator" +repage "$work/indicator-$variant.png"
done
indicator_pixels=$(different_pixels "$work/indicator-plain.png" "$work/indicator-gps.png")
echo "  indicator at $indicator, $indicator_pixels pixels differ from the plain face"
[ "$indicator_pixels" -ge 100 ] || give_up "the skin draws a GPS indicator"

# How many more of the rectangle's pixels look like the indicator than like the plain face.
indicator_score() { # indicator_score NAME
  local shot=$work/$1.png
  import -window "$window" "$shot" 2>/dev/null || { echo -999999; return; }
  convert "$shot" +repage -crop "$indicator" +repage "$shot"
  echo $(($(different_pixels "$shot" "$work/indicator-plain.png") -
          $(different_pixels "$shot" "$work/indicator-gps.png")))
}
shows() { # shows NAME SIGN: the indicator is seen (SIGN 1) or not (SIGN -1) in a screenshot
  local score; score=$(indicator_score "$1"); echo "  $1: score $score"
  [ $(($2 * score)) -gt $((indicator_pixels / 3)) ]
}
check "no GPS indicator before connecting" shows before-connect -1
# "Connect" is the left half of the soft-key bar.
xdotool mousemove --window "$window" $((width / 4)) $bar_y click 1
indicator_shown() { shows after-connect 1 >/dev/null; }
check "the GPS indicator appears after Connect" wait_for 10 indicator_shown

# The machine's clock against the time since boot, in ms: it moves only when the clock is stepped.
clock_offset_ms() {
  local uptime now
  read -r uptime _ </proc/uptime
  now=$EPOCHREALTIME
  echo $((10#${now//[.,]/} / 1000 - 10#${uptime//[.,]/} * 10))
}
offset_before=$(clock_offset_ms)

# "Menu" is the right half of the bar; its second item is "Synchronize".
xdotool mousemove --window "$window" $((width * 3 / 4)) $bar_y click 1
sleep 0.5
xdotool key Down Down Return
message_box() { visible_windows | grep -vx "$window" | head -1; }
box_shown() { [ -n "$(message_box)" ]; }
if wait_for 12 box_shown; then
  box=$(message_box)
  pass "a message box titled \"$title\" appears"
  # The message is a label selectable by mouse: a click gives it focus, then select all and copy.
  read -r box_width box_height < <(xdotool getwindowgeometry "$box" | awk -F'[ x]+' '/Geometry/ { print $3, $4 }')
  message=
  for y in 20 $((box_height / 3)); do
    xdotool mousemove --window "$box" $((box_width / 2)) "$y" click 1
    sleep 0.2
    xdotool key ctrl+a ctrl+c
    message=$("$probe" clipboard --timeout-ms 2000) && [ -n "$message" ] && break
  done
  echo "  message: ${message//$'\n'/|}"
  check "the message says the clock could not be changed" test "$message" = "$expected_message"
  xdotool key Return
  box_gone() { [ -z "$(message_box)" ]; }
  check "Return closes the message box" wait_for 3 box_gone
else
  fail "a message box titled \"$title\" appears"
fi

offset_after=$(clock_offset_ms)
check "the machine's clock is untouched (moved $((offset_after - offset_before)) ms)" \
  test $(((offset_after - offset_before) ** 2)) -lt $((500 * 500))

"$probe" close "$window"
check_ends_with_zero "$clock"

if [ $failures -ne 0 ]; then
  diagnostics
  echo "test_e2e_gps: $failures check(s) failed"; exit 1
fi
echo "test_e2e_gps: all checks passed"
