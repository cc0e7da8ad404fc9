#!/usr/bin/env bash
# Installs what is missing, builds, and shows the default skins.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
mv_install_missing
mv_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo

for skin in build/share/marovellastrine/skins/default_*.scs; do
  echo "== $(basename "$skin")"
  QT_QPA_PLATFORM=offscreen build/bin/marovellastrine-skin info "$skin"
done
