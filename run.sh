#!/usr/bin/env bash
# Installs what is missing, builds, and starts the clock.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
mv_install_missing
mv_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The clock, on the desktop's display. Without one (a server, a container), on Qt's VNC
# platform instead. That platform's server would listen on every network interface, without a
# password; the preloaded library binds it to the loopback address, so only this machine reaches it.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  port=${MV_VNC_PORT:-5900}
  export QT_QPA_PLATFORM="vnc:size=480x640:port=$port"
  export LD_PRELOAD="$PWD/build/lib/marovellastrine/libmarovellastrine-bind-loopback.so${LD_PRELOAD:+:$LD_PRELOAD}"
  echo "No display found: the clock runs on Qt's VNC platform, reachable from this machine only."
  echo "Connect a VNC viewer to 127.0.0.1:$port (display $((port - 5900)) of localhost);"
  echo "from another machine, through SSH: ssh -L $port:127.0.0.1:$port $(hostname), then the same address."
fi
exec build/bin/marovellastrine
