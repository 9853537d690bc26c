#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (clang, the "asan" preset
# of CMakePresets.json, into build-asan/) and runs the whole ctest suite under it headless,
# the short fuzz runs included. Any sanitizer report fails the run. Ends with ctest's summary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export QT_QPA_PLATFORM=offscreen
# The test preset sets the sanitizer options; repeated here for running a test by hand from this
# shell's environment.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:print_stacktrace=1:strict_init_order=1:check_initialization_order=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/hardening/lsan.supp:print_suppressions=0}
cmake --preset asan
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)"
