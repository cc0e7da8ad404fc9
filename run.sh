#!/usr/bin/env bash
# Installs what is missing, builds, and starts the clock.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
mv_install_missing
mv_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The clock, on the desktop's display. Without one (a server, a container), on Qt's VNC
# platform instead: connect a VNC viewer to the port printed below.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  port=${MV_VNC_PORT:-5900}
  echo "No display found: the clock runs on Qt's VNC platform; connect a VNC viewer to port $port of this machine"
  export QT_QPA_PLATFORM="vnc:size=480x640:port=$port"
fi
exec build/bin/marovellastrine
