#!/usr/bin/env bash
# Runs a test on a virtual X server with Qt's xcb platform; exit 77 (skipped) without xvfb-run.
if ! command -v xvfb-run > /dev/null; then
    echo "xvfb-run is missing: skipped (scripts/deps.sh installs it)"
    exit 77
fi
exec xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$@"
