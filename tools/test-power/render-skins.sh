#!/usr/bin/env bash
# Renders every default skin in every drawing mode with the skin tool, to check that a change of
# the code leaves what the clock draws byte for byte the same.
#
#   tools/test-power/render-skins.sh BUILD_DIR OUT_DIR        renders, then prints the checksums
#   tools/test-power/render-skins.sh BUILD_DIR OUT_DIR --check compares them with renders.sha256
#
# Each skin is drawn with smooth shapes, shadow, the GPS indicator and smooth motion each on and
# off: at 480x640 a full frame and two partial frames after it, and at 640x360 one full frame.
# renders.sha256 holds the checksums of the tree before the per-folder libraries (7d6b652),
# made with Qt 6.4 on Debian 12 (another Qt may encode the same pixels into other PNG bytes).
set -euo pipefail
build=$1 out=$2 check=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
tool=$build/bin/marovellastrine-skin
mkdir -p "$out"
for skin in "$build"/share/marovellastrine/skins/default_*.scs; do
  name=$(basename "$skin" .scs)
  for shapes in "" --smooth-shapes; do for shadow in "" --shadow; do
    for gps in "" --gps; do for motion in "" --smooth-motion; do
      tag=$name$shapes$shadow$gps$motion
      # shellcheck disable=SC2086 # the empty options are meant to vanish
      QT_QPA_PLATFORM=offscreen "$tool" render "$skin" --size 480x640 --time 10:08:37.250 \
        $shapes $shadow $gps $motion --then 10:08:38.400 --then 10:09:01.900 --out "$out/$tag.png"
      # shellcheck disable=SC2086
      QT_QPA_PLATFORM=offscreen "$tool" render "$skin" --size 640x360 --time 23:59:59 \
        $shapes $shadow $gps $motion --out "$out/wide-$tag.png"
    done; done
  done; done
done
if [ "$check" = --check ]; then
  (cd "$out" && sha256sum --quiet -c "$here/renders.sha256") && echo "all $(wc -l <"$here/renders.sha256") renders are the same"
else
  (cd "$out" && sha256sum ./*.png)
fi
