#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless; then builds and runs the whole
# suite again under ASan+UBSan (scripts/test-sanitize.sh; SKIP_SANITIZE=1 leaves that out).
# Ends with ctest's summary; fails when either suite fails, or when a kz-orba-* program that the
# tests started is still running after them (scripts/leftovers.py names it and ends it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# The layers are checked before anything is built: a file that includes upwards fails the run.
"$root/scripts/check-layers.sh"
"$root/scripts/check-format.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
status=0
(cd "${BUILD_DIR:-$root/build}" && "$root/scripts/leftovers.py" ctest --output-on-failure -j "$(nproc)" --timeout 300) || status=$?
if [ "${SKIP_SANITIZE:-0}" != 1 ]; then
    "$root/scripts/leftovers.py" "$root/scripts/test-sanitize.sh" || status=$?
fi
exit "$status"
