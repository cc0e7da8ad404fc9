#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through CTest: once on a normal build,
# once with AddressSanitizer and UndefinedBehaviorSanitizer, and the GPS tests (label gps) once more
# under ThreadSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
mv_install_missing

export QT_QPA_PLATFORM=offscreen
status=0

# Runs every test of a build. The end-to-end tests run the program on an X server of their own,
# whose fresh display has been seen to refuse the program under load; when only they failed,
# they run once more and their second result counts. Any other failure counts at once.
run_ctest() {
  ctest --test-dir "$1" --output-on-failure -j "$(nproc)" && return 0
  local failed
  failed=$(cut -d: -f2 "$1/Testing/Temporary/LastTestsFailed.log")
  grep -qv '^test_e2e_' <<<"$failed" && return 1
  echo "== once more, the end-to-end tests that failed: $(echo $failed)"
  ctest --test-dir "$1" --output-on-failure --rerun-failed
}

echo "== normal build"
mv_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMV_WERROR=ON
run_ctest build || status=1

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
mv_build build-asan -DCMAKE_BUILD_TYPE=Debug -DMV_WERROR=ON -DMV_SANITIZE=ON -DMV_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest build-asan || status=1

echo "== ThreadSanitizer build (the GPS driver and its thread)"
# Only the gps tests are built, with the layers they link: Qt is not instrumented, so its own
# threads show races that are not there.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMV_WERROR=ON -DMV_TSAN=ON \
  -DMV_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$(nproc)" --target mv_tests_gps
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp \
  ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" -L gps || status=1

echo "== Debian package (made from build/ in a temporary folder and checked, never installed)"
tests/package/check-package.sh build || status=1

if [ $status -ne 0 ]; then echo "test.sh: FAILED" >&2; else echo "test.sh: all tests passed"; fi
exit $status
