#!/usr/bin/env bash
# Draws docs/gallery.png: the three smaller default skins in windows of 240 x 320, 320 x 480 and
# 480 x 640, plain (top row) and with smooth shapes and shadow (middle row), and the 1080 default
# skin full screen on a 1080 x 1920 phone and a 1920 x 1080 wall display with smooth shapes and
# shadow, shown at a third of their size (bottom row), each rendered by
# `marovellastrine-skin render` through the clock's own frames. Needs ImageMagick's montage.
# Usage: tools/make-gallery.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tool=$build/bin/marovellastrine-skin
skins=$build/share/marovellastrine/skins
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work

# A full frame at 10:09:34, then the partial frames of two ticks with a GPS fix: the indicator
# shows and the second hand has moved on as it does on the clock.
images=()
for mode in plain smooth; do
  for size in 240x320 320x480 480x640; do
    skin=$skins/default_${size%%x*}.scs
    options=()
    label=plain
    if [ "$mode" = smooth ]; then options=(--smooth-shapes --shadow); label="smooth + shadow"; fi
    out=$work/${mode}_$size.png
    "$tool" render "$skin" --size "$size" --time 10:09:34 --gps --then 10:09:35 \
      --then 10:09:36 "${options[@]}" --out "$out"
    images+=(-label "$size, $label" "$out")
  done
done
for size in 1080x1920 1920x1080; do
  out=$work/large_$size.png
  "$tool" render "$skins/default_1080.scs" --size "$size" --time 10:09:34 --gps --then 10:09:35 \
    --then 10:09:36 --smooth-shapes --shadow --out "$out"
  convert "$out" -resize 33.333% "$out"
  images+=(-label "$size full screen, smooth + shadow (1/3 size)" "$out")
done

# The labels need a font file that ImageMagick can find by itself or through fontconfig.
font=()
if command -v fc-match >/dev/null; then font=(-font "$(fc-match -f '%{file}' sans)"); fi
montage "${images[@]}" -tile 3x3 -geometry +12+12 -gravity north -background '#d8d8d8' \
  "${font[@]}" -pointsize 14 -depth 8 docs/gallery.png
echo "wrote docs/gallery.png"
