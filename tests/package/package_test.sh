#!/bin/bash
# The Debian package as a user meets it: built by CPack from this build tree, installed with
# apt-get, the installed programs run from /usr/bin by an unprivileged user with a fresh home
# (the window on Xvfb against the simulated receiver), then removed. Skipped (77) where this
# machine cannot install packages or already has the package installed.
# Usage: package_test.sh BUILD_DIR X_CLOSE
set -uo pipefail
build=$1 x_close=$2
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[ "$(id -u)" = 0 ] || skip "installing a package needs root"
for tool in apt-get dpkg-query cpack setpriv xvfb-run xdotool; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
if dpkg-query -W -f='${Status}' kz-orba-ctrl 2>/dev/null | grep -q 'ok installed'; then
    skip "kz-orba-ctrl is already installed here; the test leaves it alone"
fi

work=$(mktemp -d)
chmod 755 "$work"
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q kz-orba-ctrl >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

# The package from the existing build tree: no second build.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >/dev/null 2>&1 || fail "cpack failed"
rm -rf "$work/pkg/_CPack_Packages"
deb=$(ls "$work"/pkg/kz-orba-ctrl_*.deb) || fail "no package was made"
chmod 644 "$deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$deb" >"$work/apt.log" 2>&1 \
    || { cat "$work/apt.log"; fail "apt-get install failed"; }
for program in kz-orba-ctrl kz-orba-cli kz-orba-sim; do
    [ "$(command -v $program)" = /usr/bin/$program ] || fail "$program is not in /usr/bin"
done
defaults=/usr/share/kz-orba-ctrl
(cd "$defaults" && md5sum ./*) >"$work/defaults.md5"

home=$work/home
config=$home/.config/kz-orba-ctrl
mkdir "$home"
chown nobody "$home"
as_user() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "$@"
}
cd /

version=$(as_user kz-orba-cli --version) || fail "kz-orba-cli --version failed"
[ "$version" = "kz-orba-cli $(dpkg-query -W -f='${Version}' kz-orba-ctrl)" ] || fail "version: $version"
as_user kz-orba-cli completion bash >/dev/null || fail "kz-orba-cli completion bash failed"
[ ! -e "$config" ] || fail "printing a completion script made $config"
folder_line="files: $config (your folder; defaults from $defaults)"
as_user kz-orba-cli ports >"$work/cli_ports" || fail "kz-orba-cli ports failed"
grep -qxF "$folder_line" "$work/cli_ports" || { cat "$work/cli_ports"; fail "kz-orba-cli ports names no folder"; }
as_user kz-orba-ctrl --list-ports >"$work/ctrl_ports" || fail "kz-orba-ctrl --list-ports failed"
grep -qxF "$folder_line" "$work/ctrl_ports" || { cat "$work/ctrl_ports"; fail "kz-orba-ctrl --list-ports names no folder"; }
as_user kz-orba-cli --help | grep -qxF "$folder_line" || fail "kz-orba-cli --help names no folder"

# The simulated receiver, run by the same user, on COM1.
link=$home/com1
as_user kz-orba-sim --link "$link" --log "$home/sim.log" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || fail "the simulator made no link"

# Two starts of the installed window: the first copies the defaults and closes; then COM1 and the
# panel keys are chosen in the user's settings file and the second start sends J, the menu key.
cat >"$work/window.sh" <<'SCRIPT'
x_close=$1 config=$2 log=$3
start() {
    /usr/bin/kz-orba-ctrl 2>>"$HOME/window.err" &
    pid=$!
    for _ in $(seq 1 100); do
        id=$(xdotool search --onlyvisible --name 'KZ-ORBA' 2>/dev/null | head -1)
        [ -n "$id" ] && return 0
        kill -0 $pid 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
close() {
    for _ in $(seq 1 100); do
        kill -0 $pid 2>/dev/null || break
        "$x_close" KZ-ORBA >/dev/null 2>&1
        sleep 0.1
    done
    kill -0 $pid 2>/dev/null && { kill $pid; echo "the window did not close"; return 1; }
    wait $pid || { echo "the window ended with status $?"; return 1; }
}
start || { echo "the window did not open (first start)"; exit 1; }
sleep 1
close || exit 1
[ -f "$config/KZ_ORBA_CTRL.ini" ] || { echo "no settings file in $config"; exit 1; }
printf '1\r\n0\r\n0\r\n""\r\n2\r\n' >"$config/KZ_ORBA_CTRL.ini"
touch -d '2000-01-01' "$config/KZ_ORBA_CTRL.ini"
start || { echo "the window did not open (second start)"; exit 1; }
sleep 1
# Connect: the button at the left of the port frame (frame at 150,0; button at 8,20, 89x25).
xdotool mousemove --window "$id" --sync 202 32 click 1
sleep 2
before=$(wc -l <"$log" 2>/dev/null || echo 0)
xdotool windowfocus --sync "$id" key j
for _ in $(seq 1 50); do
    grep -q 'WP_KeyMenu' "$log" 2>/dev/null && break
    sleep 0.1
done
grep -q 'WP_KeyMenu' "$log" || { echo "J sent nothing (log had $before lines)"; exit 1; }
close || exit 1
[ "$config/KZ_ORBA_CTRL.ini" -nt "$log" ] || [ "$(find "$config/KZ_ORBA_CTRL.ini" -newermt '2001-01-01')" ] \
    || { echo "the settings file was not written at exit"; exit 1; }
SCRIPT
chmod 755 "$work/window.sh"
as_user env KZ_ORBA_COM1="$link" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-noreset -screen 0 1024x768x24" bash "$work/window.sh" "$x_close" "$config" "$home/sim.log" \
    || { cat "$home/window.err" 2>/dev/null; fail "the installed window"; }

[ -f "$config/KZ_ORBA_CTRL.ini" ] || fail "no settings file in $config"
grep -q '^1' "$config/KZ_ORBA_CTRL.ini" || fail "the chosen port was not kept"
(cd "$defaults" && md5sum -c --quiet "$work/defaults.md5") || fail "the installed defaults changed"
for f in auto_off.txt input_prefer.txt output_reso.txt ball_red.gif ball_gray.bmp; do
    [ -f "$config/$f" ] || fail "$f was not copied into $config"
done

for page in kz-orba-ctrl kz-orba-sim kz-orba-cli; do
    file=/usr/share/man/man1/$page.1.gz
    [ -f "$file" ] || fail "no manual page $file"
    warnings=$(man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings $page: $warnings"
done
# Tab completion as a user's bash finds it: bash-completion loads the installed script on first
# use; values come from the option lists in the user's folder.
for file in /usr/share/bash-completion/completions/kz-orba-cli \
    /usr/share/zsh/vendor-completions/_kz-orba-cli /usr/share/fish/vendor_completions.d/kz-orba-cli.fish; do
    [ -f "$file" ] || fail "no completion $file"
done
completed=$(as_user bash -c '
    source /usr/share/bash-completion/bash_completion
    _completion_loader kz-orba-cli
    COMP_WORDS=(kz-orba-cli set display = O) COMP_CWORD=4
    COMP_LINE="kz-orba-cli set display=O" COMP_POINT=25
    _kz_orba_cli
    echo "${COMPREPLY[*]}"')
[ "$completed" = "On Off" ] || fail "bash completes \"kz-orba-cli set display=O\" to [$completed]"
[ -f /usr/share/applications/kz-orba-ctrl.desktop ] || fail "no desktop entry"
[ -f /usr/share/icons/hicolor/scalable/apps/kz-orba-ctrl.svg ] || fail "no scalable icon"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q kz-orba-ctrl >/dev/null 2>&1 || fail "apt-get purge failed"
[ ! -e /usr/bin/kz-orba-ctrl ] || fail "the package was not removed"
echo "package installed, used and removed"
