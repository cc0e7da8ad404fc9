#!/usr/bin/env bash
# The clock on Qt's VNC platform, as run.sh starts it without a display: with the loopback
# preload, its VNC server listens on the loopback address only and answers there.
#   Usage: test_vnc_loopback.sh PROGRAM PRELOAD_LIBRARY
set -uo pipefail

program=$1
preload=$2
source "$(dirname "$0")/e2e_common.sh"

# Port 0: the system picks a free port, so parallel runs never collide.
mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
run_isolated "$work" "$work/runtime" "$program" QT_QPA_PLATFORM=vnc:size=480x640:port=0 \
  LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0 >"$work/clock.log" 2>&1 &
clock=$!; pids+=("$clock")

# The program's listening TCP sockets: "address port" per line, in /proc/net/tcp's hex notation.
listening() {
  local inodes
  inodes=$(find "/proc/$clock/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null | tr -dc '0-9\n' | paste -sd '|')
  [ -n "$inodes" ] || return 1
  awk -v inodes="^($inodes)\$" '$4 == "0A" && $10 ~ inodes { split($2, a, ":"); print a[1] " " a[2] }' \
    /proc/net/tcp /proc/net/tcp6 | grep .
}
wait_for 10 listening >/dev/null || { fail "the VNC server listens"; cat "$work/clock.log"; exit 1; }

while read -r address port; do
  case $address in
    0100007F | 0000000000000000FFFF00000100007F | 00000000000000000000000001000000)
      pass "listens on the loopback address ($address:$port)" ;;
    *) fail "listens on $address:$port, not only on the loopback address" ;;
  esac
  greeting=$(timeout 5 bash -c "exec 3<>/dev/tcp/127.0.0.1/$((16#$port)); head -c 3 <&3")
  check "a viewer on 127.0.0.1:$((16#$port)) is greeted" test "$greeting" = RFB
done < <(listening)
[ $failures -eq 0 ]
