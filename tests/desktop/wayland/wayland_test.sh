#!/bin/bash
# The window on a headless Wayland compositor (sway) with Qt's wayland platform: it draws, J, K
# and L send one front-panel key each per tap, Ctrl+Tab and Ctrl+Page Down switch sections, and
# the compositor's close request ends it with the settings written. sway refuses root, so as root everything runs as nobody.
# Usage: wayland_test.sh KZ-ORBA-CTRL KZ-ORBA-SIM DATA_DIR [SCREENSHOT.png]
set -uo pipefail
ctrl=$1 sim=$2 data=$3 shot=${4:-}
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
for tool in sway swaymsg wtype grim convert; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 \
    || skip "qt6-wayland is not installed"

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
runtime=$work/runtime config=$work/config link=$work/com1 log=$work/sim.log
mkdir -m 700 "$runtime"
mkdir "$config"
cp "$data"/* "$config"/
# COM1 and the front-panel section, so that J, K and L act at once.
printf '1\r\n0\r\n0\r\n""\r\n2\r\n' >"$config/KZ_ORBA_CTRL.ini"
touch -d '2000-01-01' "$config/KZ_ORBA_CTRL.ini"
printf 'xwayland disable\noutput * resolution 1024x768\n' >"$work/sway.conf"
as_user=()
if [ "$(id -u)" = 0 ]; then
    chown -R nobody "$work"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# run: a command as the test's user; start: the same in the background, its process id in $!
# being the command's own (the subshell is replaced), so that it can be ended.
run() { environment "$@"; }
start() { environment exec "$@" & }
environment() {
    local execute=
    [ "$1" = exec ] && { execute=exec; shift; }
    $execute "${as_user[@]}" env -i HOME="$work" PATH=/usr/bin:/bin LANG=C.UTF-8 ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" XDG_RUNTIME_DIR="$runtime" \
        WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$runtime/sway.sock" "$@"
}

start "$sim" --link "$link" --log "$log" >"$work/sim.out" 2>&1
pids+=($!)
start WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.conf" >"$work/sway.out" 2>&1
pids+=($!)
for _ in $(seq 1 100); do
    [ -S "$runtime/wayland-1" ] && [ -S "$runtime/sway.sock" ] && [ -e "$link" ] && break
    sleep 0.1
done
[ -S "$runtime/wayland-1" ] || { cat "$work/sway.out"; fail "sway did not start"; }
[ -e "$link" ] || fail "the simulator made no link"
# One virtual keyboard that stays for the whole test: keys from short-lived ones can be lost
# before the window has bound the keyboard.
start wtype -s 600000 >/dev/null 2>&1
pids+=($!)

start KZ_ORBA_COM1="$link" QT_QPA_PLATFORM=wayland "$ctrl" --config-dir "$config" >/dev/null 2>"$work/window.err"
window=$!
pids+=($window)
for _ in $(seq 1 100); do
    run swaymsg -t get_tree 2>/dev/null | grep -q '"app_id": "kz-orba-ctrl"' && break
    sleep 0.1
done
run swaymsg -t get_tree | grep -q '"app_id": "kz-orba-ctrl"' || { cat "$work/window.err"; fail "no window on sway"; }
sleep 1
# The Connect button has the focus at the start.
run wtype -s 300 -k space -s 1500
count() { grep -c "$1" "$log" 2>/dev/null; }
for key in j k l; do
    run wtype -k "$key" -s 1500
done
menu=$(count WP_KeyMenu) minus=$(count WP_KeyMinus) plus=$(count WP_KeyPlus)
echo "sent: menu $menu, minus $minus, plus $plus"
[ "$menu" = 1 ] && [ "$minus" = 1 ] && [ "$plus" = 1 ] \
    || { cat "$log" "$work/window.err"; fail "J, K and L did not send one key each"; }

# The sections by keyboard: Ctrl+Tab from the Control Panel wraps to the Projector section,
# Ctrl+Page Down goes on to the receiver's; the section shown at exit is the one written.
run wtype -s 300 -M ctrl -k Tab -m ctrl -s 1000
run wtype -s 300 -M ctrl -k Next -m ctrl -s 1000
# In the receiver's section J, K and L send nothing.
run wtype -k j -s 1000
[ "$(count WP_KeyMenu)" = 1 ] || fail "J sent a key outside the Control Panel"

run grim "$work/shot.png" || fail "grim took no screenshot"
[ -n "$shot" ] && cp "$work/shot.png" "$shot"
colours=$(convert "$work/shot.png" -format '%k' info:)
[ "$colours" -gt 8 ] || fail "the screen holds $colours colours: the window did not draw"

run swaymsg kill >/dev/null || fail "swaymsg kill failed"
# Reading the receiver's projector port on Connect leaves the projector settings changed, so the
# close asks whether to save them: No.
for _ in $(seq 1 50); do
    [ "$(run swaymsg -t get_tree | grep -c '"app_id": "kz-orba-ctrl"')" -ge 2 ] && break
    kill -0 "$window" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$window" 2>/dev/null && run wtype -k n
for _ in $(seq 1 100); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$window" 2>/dev/null; then
    run grim "$work/after.png" && [ -n "$shot" ] && cp "$work/after.png" "${shot%.png}-after-close.png"
    run swaymsg -t get_tree >"$work/tree.json"
    grep -E '"(name|app_id|focused)"' "$work/tree.json" | head -20
    cat "$work/window.err"
    fail "the close request did not end the window"
fi
wait "$window"
status=$?
[ "$status" = 0 ] || { cat "$work/window.err"; fail "the window ended with status $status"; }
[ -n "$(find "$config/KZ_ORBA_CTRL.ini" -newermt '2001-01-01')" ] || fail "the settings were not written"
section=$(tr -d '\r' <"$config/KZ_ORBA_CTRL.ini" | sed -n 5p)
[ "$section" = 1 ] || fail "Ctrl+Tab, Ctrl+Page Down from the Control Panel left section $section, not 1"
echo "drew ($colours colours), one command per key, sections by Ctrl+Tab and Ctrl+Page Down, closed by the compositor with the settings written"
