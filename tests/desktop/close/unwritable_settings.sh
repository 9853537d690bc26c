#!/bin/bash
# The window started on a settings folder the user cannot write, closed by the window manager's
# close request: the failed write is reported on stderr with the path and the reason, the old
# settings file is left as it was, and the exit status is 1. Runs as an unprivileged user (root writes anywhere).
# Usage: unwritable_settings.sh KZ-ORBA-CTRL X_CLOSE DATA_DIR
set -euo pipefail
ctrl=$1 x_close=$2 data=$3
command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed: skipping"; exit 77; }

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work"
config=$work/config
mkdir "$config"
cp "$data"/* "$config"/
# COM9 and the projector section: values the window writes back as they are.
printf '0\r\n0\r\n0\r\n""\r\n1\r\n' >"$config/KZ_ORBA_CTRL.ini"
cp "$config/KZ_ORBA_CTRL.ini" "$work/before.ini"
chmod 555 "$config"


as_user=()
if [ "$(id -u)" = 0 ]; then
    chown -R nobody "$work"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env)
fi
# The sanitizer build's options reach the window, which --reset-env would drop.
"${as_user[@]}" env HOME="$work" QT_QPA_PLATFORM=xcb PATH=/usr/bin:/bin \
    ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
    xvfb-run -a -s "-noreset -screen 0 1024x768x24" bash -c '
    "$1" --config-dir "$2" 2>"$3/err" &
    pid=$!
    # The main window, then the report box it shows: each is asked to close until the program ends.
    for _ in $(seq 1 200); do
        kill -0 $pid 2>/dev/null || break
        "$4" KZ-ORBA >/dev/null 2>&1 || true
        sleep 0.1
    done
    if kill -0 $pid 2>/dev/null; then kill $pid; echo "the window did not end"; exit 1; fi
    wait $pid' _ "$ctrl" "$config" "$work" "$x_close" || status=$?
status=${status:-0}
err=$(cat "$work/err")
echo "stderr: $err"
[ "$status" = 1 ] || { echo "exit status $status after a failed settings write, not 1"; exit 1; }
expected="kz-orba-ctrl: The settings cannot be saved to $config/KZ_ORBA_CTRL.ini: "
grep -qF -- "$expected" "$work/err" || { echo "no report naming $config/KZ_ORBA_CTRL.ini"; exit 1; }
grep -qi "permission denied" "$work/err" || { echo "the system's reason is missing"; exit 1; }
grep -qF "The previous settings file is kept." "$work/err" || { echo "no word on the old file"; exit 1; }
cmp "$work/before.ini" "$config/KZ_ORBA_CTRL.ini" || { echo "the old settings file changed"; exit 1; }
echo "reported, old file kept"
