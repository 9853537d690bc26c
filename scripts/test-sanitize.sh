#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang, the "asan" preset
# of CMakePresets.json) into build-asan/ (or $ASAN_BUILD_DIR) and runs the whole ctest suite under
# it headless through the preset's test step (`ctest --preset asan`), the short fuzz runs
# included. The sanitizer options live in that preset only. Any sanitizer report fails its test.
# Ends with ctest's summary. --build-only builds and runs nothing; --test-only runs the suite of a
# tree already built. KZ_TEST_JOBS sets how many tests run at once (default: twice the cores, as
# the tests mostly wait on timers and lines).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
phase=${1:-all}
case "$phase" in
  all|--build-only|--test-only) ;;
  *) echo "usage: test-sanitize.sh [--build-only|--test-only]" >&2; exit 2 ;;
esac
cd "$root"
if [ "$phase" != --test-only ]; then
  cmake --preset asan -B "$build"
  cmake --build "$build" -j "$(nproc)"
fi
if [ "$phase" != --build-only ]; then
  ctest --preset asan --test-dir "$build" -j "${KZ_TEST_JOBS:-$(( 2 * $(nproc) ))}"
fi
