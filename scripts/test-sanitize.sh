#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang, the "asan" preset
# of CMakePresets.json) into build-asan/ (or $ASAN_BUILD_DIR) and runs the whole ctest suite under
# it headless, the short fuzz runs included. Any sanitizer report fails its test. Ends with
# ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
cd "$root"
# The same settings as the preset's test step, so a test run by hand from here behaves alike.
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:print_stacktrace=1:strict_init_order=1:check_initialization_order=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/hardening/lsan.supp:print_suppressions=0}
cmake --preset asan -B "$build"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600
