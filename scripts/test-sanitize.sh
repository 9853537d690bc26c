#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang, the "asan" preset
# of CMakePresets.json) into build-asan/ (or $ASAN_BUILD_DIR) and runs the whole ctest suite under
# it headless through the preset's test step (`ctest --preset asan`), the short fuzz runs
# included. The sanitizer options live in that preset only. Any sanitizer report fails its test.
# Ends with ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
cd "$root"
cmake --preset asan -B "$build"
cmake --build "$build" -j "$(nproc)"
ctest --preset asan --test-dir "$build" -j "$(nproc)"
