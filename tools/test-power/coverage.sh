#!/usr/bin/env bash
# Line coverage of the core libraries (mv_core and mv_platform) from the whole CTest suite.
#
#   tools/test-power/coverage.sh [BUILD_DIR]      default: build-coverage
#
# Configures a gcov build in BUILD_DIR (flags passed on the command line, nothing in
# CMakeLists.txt), builds everything the tests need, runs every test (the end-to-end tests
# too: the program they start writes its counters into the same build tree), then prints
# line coverage per area and in total. Environment: MV_JOBS (default 2) build and test jobs,
# MV_SKIP_TESTS=1 to summarise the counters of an earlier run again.
# Exits non-zero when the build or a test failed (the coverage is printed all the same).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${1:-$root/build-coverage}")
jobs=${MV_JOBS:-2}
cd "$root" || exit 2

# Debug keeps -O0 in force (RelWithDebInfo would append -O2 after these flags).
nice -n 15 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMV_WERROR=ON -DMV_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null || exit 2
nice -n 15 cmake --build "$build" -j "$jobs" || exit 2

status=0
if [ "${MV_SKIP_TESTS:-0}" != 1 ]; then
  find "$build" -name '*.gcda' -delete
  QT_QPA_PLATFORM=offscreen nice -n 15 ctest --test-dir "$build" -j "$jobs" --output-on-failure \
    > "$build/coverage-ctest.log" 2>&1 || status=1
  tail -n 4 "$build/coverage-ctest.log"
  grep -E 'Not Run|\*\*\*Skipped' "$build/coverage-ctest.log" || true
fi

summary="$build/coverage-summary.json"
nice -n 15 gcovr --root "$root" --object-directory "$build" -j "$jobs" \
  --filter 'clock/' --filter 'gps/' --filter 'skin/' --filter 'platform/' --filter 'app/' \
  --exclude-directories '.*/CMakeFiles/[0-9][0-9.]*$' --json-summary "$summary" >/dev/null || exit 2

if ! python3 - "$summary" <<'PY'
import json, re, sys

files = json.load(open(sys.argv[1]))["files"]
store_or_driver = re.compile(r"^platform/(store|gps_driver)[^/]*$")
groups = [
    ("clock/", lambda f: f.startswith("clock/")),
    ("gps/", lambda f: f.startswith("gps/")),
    ("skin/", lambda f: f.startswith("skin/")),
    ("platform/ store + gps driver", lambda f: bool(store_or_driver.match(f))),
]
others = [
    ("app/", lambda f: f.startswith("app/")),
    ("platform/ other", lambda f: f.startswith("platform/") and not store_or_driver.match(f)),
]

def sums(match):
    chosen = [f for f in files if match(f["filename"])]
    return (len(chosen), sum(f["line_covered"] for f in chosen), sum(f["line_total"] for f in chosen))

def row(name, n, covered, total):
    pct = 100.0 * covered / total if total else 0.0
    print(f"{name:<32}{n:>6}{covered:>9}{total:>9}{pct:>8.1f}%")

print(f"{'area':<32}{'files':>6}{'covered':>9}{'lines':>9}{'':>9}")
for name, match in groups:
    row(name, *sums(match))
core = sums(lambda name: any(match(name) for _, match in groups))
row("TOTAL (the four areas above)", *core)
for name, match in others:
    row(name, *sums(match))
row("ALL of mv_core + mv_platform", *sums(lambda name: True))
PY
then exit 2; fi
exit $status
