#!/bin/bash
# The Debian package as a user meets it: built by CPack from this build tree, installed with
# apt-get, the installed programs run from /usr/bin by an unprivileged user with a fresh home
# (the window on Xvfb against the simulated receiver; the example playbook from the installed
# documentation against simulated receivers on loopback, with no collection path set), the
# documentation, manual pages and metadata checked, then removed. Every process the test starts
# is ended, the real process and not a wrapper around it. Skipped (77) where this machine cannot
# install packages or already has the package installed.
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
started=()
# Ends the processes started in the background and waits until each is gone.
stop() {
    local pid
    for pid in "$@"; do kill "$pid" 2>/dev/null; done
    for pid in "$@"; do
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    done
}
cleanup() {
    [ ${#started[@]} = 0 ] || stop "${started[@]}"
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
# Starts a program as the user in the background; setpriv and env replace themselves with it, so
# $started_pid is the program's own PID, the one to end. Its output goes to the file $1.
start_as_user() {
    local out=$1 program=$2
    shift
    (exec >"$out" 2>&1; exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "$@") &
    started_pid=$!
    started+=("$started_pid")
    for _ in $(seq 1 50); do
        [ "$(cat /proc/$started_pid/comm 2>/dev/null)" = "$program" ] && return 0
        sleep 0.1
    done
    fail "$program did not start as PID $started_pid ($(cat /proc/$started_pid/comm 2>/dev/null))"
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
start_as_user "$work/sim.out" kz-orba-sim --link "$link" --log "$home/sim.log"
sim_pid=$started_pid
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

# The simulator ends when asked: its own process, not a wrapper, and its link goes with it.
stop "$sim_pid"
! kill -0 "$sim_pid" 2>/dev/null || fail "the simulator (PID $sim_pid) is still running"
[ ! -e "$link" ] || fail "the simulator left its link $link"

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
# The sections a reader looks for beyond --help, and what each must name.
# page | section | words the section holds
sections=(
    "kz-orba-ctrl|ENVIRONMENT|KZ_ORBA_COM1,tcp://HOST:PORT,XDG_CONFIG_HOME,QT_QPA_PLATFORM"
    "kz-orba-ctrl|FILES|KZ_ORBA_CTRL.ini,output_reso.txt,~/.config/kz-orba-ctrl/,/usr/share/kz-orba-ctrl/,/usr/share/doc/kz-orba-ctrl/"
    "kz-orba-ctrl|SEE ALSO|kz-orba-cli(1),kz-orba-sim(1),README.md"
    "kz-orba-cli|ENVIRONMENT|KZ_ORBA_COM1,tcp://HOST:PORT,XDG_CONFIG_HOME"
    "kz-orba-cli|FILES|auto_off.txt,~/.config/kz-orba-ctrl/,/usr/share/ansible/collections/"
    "kz-orba-cli|SEE ALSO|kz-orba-ctrl(1),kz-orba-sim(1)"
    "kz-orba-sim|FILES|--link,--log"
    "kz-orba-sim|SEE ALSO|kz-orba-ctrl(1),kz-orba-cli(1)"
)
for row in "${sections[@]}"; do
    IFS='|' read -r page section words <<<"$row"
    # The section's text: from its heading to the next heading (a line starting with a capital).
    text=$(MANWIDTH=200 man -P cat -l "/usr/share/man/man1/$page.1.gz" 2>/dev/null | col -b |
        awk -v s="$section" '/^[A-Z]/ { on = ($0 == s); next } on')
    [ -n "$text" ] || fail "man $page has no $section section"
    IFS=, read -ra list <<<"$words"
    for word in "${list[@]}"; do
        grep -qF -- "$word" <<<"$text" || fail "man $page: $section does not name $word"
    done
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
metainfo=/usr/share/metainfo/com.kzorba.kz_orba_ctrl.metainfo.xml
grep -q '<image type="source">https://.*/docs/images/window-receiver.png</image>' "$metainfo" \
    || fail "the metainfo shows no screenshot"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate /usr/share/applications/kz-orba-ctrl.desktop || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" >"$work/appstream.out" 2>&1 \
        || { cat "$work/appstream.out"; fail "appstreamcli validate"; }
fi
if command -v lintian >/dev/null; then
    # As the user: as root lintian warns about itself.
    as_user lintian --fail-on error,warning "$deb" >"$work/lintian.out" 2>&1 \
        || { cat "$work/lintian.out"; fail "lintian"; }
fi

# The documentation and the examples that --help and the manual pages point to.
doc=/usr/share/doc/kz-orba-ctrl
for f in README.md docs/window.md docs/cli.md docs/ansible.md docs/gateways.md docs/files.md \
    docs/simulator.md docs/development.md docs/images/window-receiver.png \
    examples/rooms.yml examples/apply.yml examples/room.profile copyright changelog.gz; do
    [ -f "$doc/$f" ] || fail "no $doc/$f"
done
[ ! -e "$doc/examples/collections" ] || fail "the source tree's link to the collection was installed"
# Each link between the documentation's files that leads to a file in the source tree leads to it
# in the package too.
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
links=0
for page in README.md $(cd "$source_dir" && ls docs/*.md); do
    from=$(dirname "$page")
    for target in $(grep -o '](\([^)#:]*\)[)#]' "$source_dir/$page" | sed 's/^](//; s/.$//'); do
        [ -e "$source_dir/$from/$target" ] || continue
        [ -e "$doc/$from/$target" ] || fail "$page links to $target, which the package lacks"
        links=$((links + 1))
    done
done
[ "$links" -gt 20 ] || fail "only $links links between the documentation's files were found"

# The Ansible collection where Ansible looks without configuration, and the example playbook run
# from the installed documentation by the user, with a fresh home and no collection path, against
# ten simulated receivers on loopback ports chosen by the system.
collection=/usr/share/ansible/collections/ansible_collections/kz/orba
for f in galaxy.yml meta/runtime.yml plugins/modules/receiver.py plugins/modules/receiver_info.py \
    plugins/modules/receiver_action.py plugins/module_utils/kz_orba_cli.py; do
    [ -f "$collection/$f" ] || fail "no $collection/$f"
done
if command -v ansible-playbook >/dev/null; then
    as_user ansible-doc kz.orba.receiver >"$work/ansible-doc.out" 2>&1 \
        || { cat "$work/ansible-doc.out"; fail "ansible-doc kz.orba.receiver as the user"; }
    listeners=()
    for _ in $(seq 1 10); do listeners+=(--tcp 127.0.0.1:0); done
    start_as_user "$work/fleet.out" kz-orba-sim "${listeners[@]}" --log "$home/fleet.log"
    fleet_pid=$started_pid
    for _ in $(seq 1 100); do
        [ "$(grep -c 'listening on' "$work/fleet.out")" -ge 10 ] && break
        sleep 0.1
    done
    sed -n 's|^kz-orba-sim: listening on |tcp://|p' "$work/fleet.out" >"$home/rooms.txt"
    [ "$(wc -l <"$home/rooms.txt")" = 10 ] || { cat "$work/fleet.out"; fail "the simulated building did not start"; }
    play() {
        # Ansible keeps its module copies under the home of the user's passwd entry, which for
        # nobody is /nonexistent: they go under the fresh home instead. No collection path is set.
        as_user ANSIBLE_REMOTE_TEMP="$home/.ansible/tmp" ansible-playbook -i "$doc/examples/rooms.yml" "$doc/examples/apply.yml" \
            -e kz_orba_ports_file="$home/rooms.txt" --forks 10 >"$work/play.out" 2>&1 \
            || { cat "$work/play.out"; fail "the example playbook from $doc/examples"; }
        # The recap: one line per room, "room-101 : ok=4 changed=2 unreachable=0 failed=0 ...".
        recap=$(grep -E '^room-[0-9]+ +:' "$work/play.out")
        [ "$(wc -l <<<"$recap")" = 10 ] || { cat "$work/play.out"; fail "the playbook ran on other than the ten rooms"; }
    }
    play
    ! grep -q 'changed=0 ' <<<"$recap" || fail "a room was left unchanged by the first run: $recap"
    grep -q 'WP_Aspect\[16:10\]' "$home/fleet.log" || fail "no room upstairs was sent its own aspect"
    play
    [ "$(grep -c ' changed=0 ' <<<"$recap")" = 10 ] || fail "the second run changed rooms: $recap"
    stop "$fleet_pid"
    ! kill -0 "$fleet_pid" 2>/dev/null || fail "the simulated building (PID $fleet_pid) is still running"
else
    echo "note: ansible-playbook is not installed; the example playbook was not run"
fi

DEBIAN_FRONTEND=noninteractive apt-get purge -y -q kz-orba-ctrl >/dev/null 2>&1 || fail "apt-get purge failed"
[ ! -e /usr/bin/kz-orba-ctrl ] || fail "the package was not removed"
echo "package installed, used and removed"
