#!/usr/bin/env bash
# Fuzzes the skin loader for SECONDS (default 60) with libFuzzer and AddressSanitizer.
# Seeds: the skin corpus of the tests and the default skins, when built.
# Exits non-zero and names the crash files when a crash was found.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
work=$build/fuzz-skin
crashes_dir=$work/crashes-$(date +%Y%m%d-%H%M%S)
mkdir -p "$work/corpus" "$crashes_dir"

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMV_FUZZ=ON -DMV_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_skin -j "$(nproc)"

cp tests/data/skins/*.scs "$work/corpus/"
for skin in build/share/marovellastrine/skins/*.scs; do
  if [ -f "$skin" ]; then cp "$skin" "$work/corpus/"; fi
done

status=0
ASAN_OPTIONS=detect_leaks=1 \
  "$build/bin/fuzz_skin" "$work/corpus" -max_total_time="$seconds" -rss_limit_mb=2048 \
  -artifact_prefix="$crashes_dir/" -print_final_stats=1 || status=$?

crashes=$(find "$crashes_dir" -type f | sort)
if [ $status -ne 0 ] || [ -n "$crashes" ]; then
  echo "fuzz-skin: crash found (status $status); files in $crashes_dir/:" >&2
  echo "$crashes" >&2
  exit 1
fi
rmdir "$crashes_dir"
echo "fuzz-skin: no crash in $seconds s"
