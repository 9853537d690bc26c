#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless; then runs the whole suite again
# built under ASan+UBSan (scripts/test-sanitize.sh; SKIP_SANITIZE=1 leaves that out). The
# sanitizer tree builds at low priority while the first suite runs, which mostly waits on timers
# and lines; for the same reason KZ_TEST_JOBS tests run at once (default: twice the cores).
# Ends with both suites' results; fails when either suite fails, or when a kz-orba-* program that
# the tests started is still running after them (scripts/leftovers.py names it and ends it).
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
sanitize_build=
# shellcheck disable=SC2317 # called by the trap
cleanup() {
    # The build runs in a session of its own: ending it ends the compilers too.
    [ -z "$sanitize_build" ] || kill -- "-$sanitize_build" 2>/dev/null || true
    rm -rf "$logs"
}
trap cleanup EXIT
if [ "${SKIP_SANITIZE:-0}" != 1 ]; then
    setsid nice -n 15 "$root/scripts/test-sanitize.sh" --build-only > "$logs/sanitize-build" 2>&1 &
    sanitize_build=$!
fi
status=0
(cd "${BUILD_DIR:-$root/build}" && "$root/scripts/leftovers.py" ctest --output-on-failure -j "$KZ_TEST_JOBS" --timeout 300) 2>&1 | tee "$logs/normal" || status=$?
if [ -n "$sanitize_build" ]; then
    built=0
    wait "$sanitize_build" || built=$?
    sanitize_build=
    cat "$logs/sanitize-build" > "$logs/sanitize"
    if [ "$built" -ne 0 ]; then
        cat "$logs/sanitize-build"
        echo "test.sh: the sanitizer build failed (status $built)" | tee -a "$logs/sanitize"
        status=$built
    else
        tail -n 3 "$logs/sanitize-build"
        "$root/scripts/leftovers.py" "$root/scripts/test-sanitize.sh" --test-only 2>&1 | tee -a "$logs/sanitize" || status=$?
    fi
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
