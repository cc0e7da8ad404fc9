#!/usr/bin/env bash
# Places each deliberate fault of faults.txt, one at a time, in a scratch copy of the tree, rebuilds
# the fault's test executables and runs them: a fault is CAUGHT when a test fails, MISSED when all
# pass. The working tree is never modified.
#
#   tools/test-power/run-faults.sh [BUILD_DIR] [FAULT_ID...]     default BUILD_DIR: build-faults
#
# BUILD_DIR/tree holds the copy of the sources and BUILD_DIR/tree/build its build (RelWithDebInfo,
# warnings as errors: a fault that doesn't compile cleanly counts as a failure of the list, not a
# catch). The build sits where it sits in a checkout, so ccache finds what other builds compiled.
# First the unchanged tree must pass every test the chosen faults name. Environment: MV_JOBS
# (default 2). Exits non-zero when a fault is missed, no longer applies (its search text is gone
# or not unique), or fails to build.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
faults_file=$here/faults.txt
list=$here/fault_list.py
out=$(realpath -m "${1:-$root/build-faults}")
[ $# -gt 0 ] && shift
jobs=${MV_JOBS:-2}
tree=$out/tree
build=$tree/build
log=$out/logs
mkdir -p "$tree" "$log"

faulted_file=""
restore() {
  if [ -n "$faulted_file" ]; then
    cp "$root/$faulted_file" "$tree/$faulted_file" # a fresh timestamp: the next build recompiles
    faulted_file=""
  fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

entries=$(python3 "$list" list "$faults_file" "$@") || exit 2
python3 "$list" sync "$root" "$tree" || exit 2
nice -n 15 cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMV_WERROR=ON \
  -DMV_BENCH=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >"$log/configure.log" 2>&1 ||
  { echo "configure failed, see $log/configure.log" >&2; exit 2; }

build_targets() { nice -n 15 cmake --build "$build" -j "$jobs" --target "$@"; }
run_tests() { # TESTS... ; ctest's exit status
  local regex
  regex="^($(tr ' ' '|' <<<"$*"))\$"
  QT_QPA_PLATFORM=offscreen nice -n 15 timeout 900 \
    ctest --test-dir "$build" --output-on-failure --stop-on-failure -R "$regex"
}

start=$SECONDS
all_tests=$(cut -f3 <<<"$entries" | tr ' ' '\n' | sort -u | tr '\n' ' ')
echo "== unchanged tree: $all_tests"
# shellcheck disable=SC2086
if ! build_targets $all_tests >"$log/baseline.log" 2>&1 || ! run_tests $all_tests >>"$log/baseline.log" 2>&1; then
  echo "the unchanged tree fails its own tests, see $log/baseline.log" >&2
  exit 2
fi

caught=0
failed=0
while IFS=$'\t' read -r -u 3 id file tests; do
  fault_start=$SECONDS
  python3 "$list" apply "$faults_file" "$id" "$tree"
  case $? in
  0) faulted_file=$file ;;
  3) echo "NOT-FOUND $id: its search text is no longer in $file"; failed=$((failed + 1)); continue ;;
  4) echo "AMBIGUOUS $id: its search text is in $file more than once"; failed=$((failed + 1)); continue ;;
  *) exit 2 ;;
  esac
  # shellcheck disable=SC2086
  if ! build_targets $tests >"$log/$id.log" 2>&1; then
    echo "BUILD-FAILED $id (see $log/$id.log)"
    failed=$((failed + 1))
  elif run_tests $tests >>"$log/$id.log" 2>&1; then
    echo "MISSED $id ($((SECONDS - fault_start)) s)"
    failed=$((failed + 1))
  else
    which=$(grep -oE '^\[  FAILED  \] [A-Za-z0-9_/]+\.[A-Za-z0-9_/]+' "$log/$id.log" | sort -u | cut -c14- | tr '\n' ' ')
    [ -n "$which" ] || which=$(grep -oE '[0-9]+ - [a-z0-9_]+ \((Failed|Timeout|Subprocess[^)]*)\)' "$log/$id.log" | tr '\n' ' ')
    echo "CAUGHT $id ($((SECONDS - fault_start)) s): $which"
    caught=$((caught + 1))
  fi
  restore
done 3<<<"$entries"

total=$(wc -l <<<"$entries")
echo "== $caught of $total faults caught, $failed not; $((SECONDS - start)) s"
# Leave the build matching the unchanged tree.
# shellcheck disable=SC2086
build_targets $all_tests >/dev/null 2>&1
[ "$failed" -eq 0 ]
