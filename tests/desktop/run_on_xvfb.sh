#!/bin/sh
# Runs a test on a private Xvfb screen with Qt's xcb platform; exit code 77 (skipped) when
# xvfb-run is not installed.
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run is not installed: skipping $1" >&2
    exit 77
fi
export QT_QPA_PLATFORM=xcb
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
