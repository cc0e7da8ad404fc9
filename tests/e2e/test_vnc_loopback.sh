#!/usr/bin/env bash
# The clock on Qt's VNC platform, as run.sh starts it without a display: with the loopback
# preload, its VNC server listens on the loopback address only and answers there.
#
#   tests/e2e/test_vnc_loopback.sh PROGRAM PRELOAD_LIBRARY
set -uo pipefail

program=$1
preload=$2
work=$(mktemp -d)
clock=
cleanup() {
  [ -n "$clock" ] && kill "$clock" 2>/dev/null && wait "$clock" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Port 0: the system picks a free port, so parallel runs never collide. The program runs without
# CAP_SYS_TIME and without a system bus.
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
env HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=vnc:size=480x640:port=0 \
    DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
    LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 \
    setpriv --inh-caps -sys_time --ambient-caps -sys_time --bounding-set -sys_time \
    "$program" >"$work/clock.log" 2>&1 &
clock=$!

# The program's listening TCP sockets: "address port" per line, in /proc/net/tcp's hex notation.
listening() {
  local inodes
  inodes=$(find "/proc/$clock/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null | tr -dc '0-9\n' | paste -sd '|')
  [ -n "$inodes" ] || return 0
  awk -v inodes="^($inodes)\$" '$4 == "0A" && $10 ~ inodes { split($2, a, ":"); print a[1] " " a[2] }' \
    /proc/net/tcp /proc/net/tcp6
}
for _ in $(seq 100); do [ -n "$(listening)" ] && break; sleep 0.1; done
sockets=$(listening)
if [ -z "$sockets" ]; then
  echo "FAIL the VNC server does not listen"; cat "$work/clock.log"; exit 1
fi

status=0
while read -r address port; do
  case $address in
    0100007F | 0000000000000000FFFF00000100007F | 00000000000000000000000001000000)
      echo "ok   listens on the loopback address ($address:$port)" ;;
    *) echo "FAIL listens on $address:$port, not only on the loopback address"; status=1 ;;
  esac
  # The server answers there with the protocol's greeting.
  if greeting=$(timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$((16#$port)); head -c 3 <&3") &&
     [ "$greeting" = RFB ]; then
    echo "ok   a viewer on 127.0.0.1:$((16#$port)) is greeted"
  else
    echo "FAIL no greeting on 127.0.0.1:$((16#$port))"; status=1
  fi
done <<<"$sockets"
exit $status
