#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless; then builds and runs the whole
# suite again under ASan+UBSan (scripts/test-sanitize.sh; SKIP_SANITIZE=1 leaves that out).
# KZ_TEST_JOBS tests run at once (default: twice the cores, as the tests mostly wait on timers and
# lines). Ends with both suites' results; fails when either suite fails, or when a kz-orba-*
# program that the tests started is still running after them (scripts/leftovers.py names it and
# ends it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
# The layers are checked before anything is built: a file that includes upwards fails the run.
"$root/scripts/check-layers.sh"
"$root/scripts/check-format.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
export KZ_TEST_JOBS=${KZ_TEST_JOBS:-$(( 2 * $(nproc) ))}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
status=0
(cd "${BUILD_DIR:-$root/build}" && "$root/scripts/leftovers.py" ctest --output-on-failure -j "$KZ_TEST_JOBS" --timeout 300) 2>&1 | tee "$logs/normal" || status=$?
if [ "${SKIP_SANITIZE:-0}" != 1 ]; then
    "$root/scripts/leftovers.py" "$root/scripts/test-sanitize.sh" 2>&1 | tee "$logs/sanitize" || status=$?
fi
# Both suites' results once more at the very end, where a reader of a long log looks first.
echo
echo "== Summary"
for suite in normal sanitize; do
    [ -f "$logs/$suite" ] || continue
    line=$(grep -E 'tests passed, [0-9]+ tests failed' "$logs/$suite" | tail -1 || true)
    echo "$suite suite: ${line:-no ctest summary (the build or the run failed)}"
    sed -n '/^The following tests FAILED:/,/^Errors while running CTest/p' "$logs/$suite" | sed 's/^/  /'
    # The failing cases' own lines (QTest and GoogleTest), so that the end of the log says why.
    grep -E 'FAIL!|^ +Loc: |: Failure$|\[  FAILED  \]|ERROR: AddressSanitizer|runtime error:' \
        "$logs/$suite" | head -40 | sed 's/^/  /' || true
    grep -E '^leftovers\.py' "$logs/$suite" | sed 's/^/  /' || true
done
exit "$status"
