#!/usr/bin/env bash
# Pictures of the window, connected to the simulated receiver, under a virtual X display, one for
# each of the three sections open: build/screenshots/section-{0,1,2}.png (the whole screen) and
# the documentation's pictures docs/images/window-{projector,receiver,panel}.png (the window
# alone; the README and the AppStream metainfo show window-receiver.png), and
# docs/screenshots/window-receive-log.png (the receiver section after its Reads, the receive log
# shown by its "Log" button). Run it after a change
# to the window's looks and commit the pictures. Needs a build (scripts/build.sh), xvfb-run,
# xdotool and ImageMagick's import. BUILD_DIR picks another build tree; SHOT_DIR another folder
# for the documentation's pictures; SHOT_DISPLAY=N the X display number (default: any free one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$build/screenshots
docs=${SHOT_DIR:-$root/docs/images}
mkdir -p "$out" "$docs"
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is not installed (scripts/deps.sh)" >&2; exit 1; }
done
[ -x "$build/bin/kz-orba-ctrl" ] || { echo "screenshots.sh: no $build/bin/kz-orba-ctrl; run scripts/build.sh" >&2; exit 1; }

server=(-a)
[ -z "${SHOT_DISPLAY:-}" ] || server=(-n "$SHOT_DISPLAY")
# One run a picture: the section open, its name, and the buttons clicked one after the other
# (window coordinates at 96 dpi): the Read buttons, so that the lists show what the simulated
# receiver holds, and for the last picture the "Log" button too.
sections=(0 1 2 1)
names=(projector receiver panel receive-log)
reads=("478,126 478,338" "478,132 478,412" "" "478,132 478,412 489,78")
status=0
for run in 0 1 2 3; do
  section=${sections[$run]}
  config=$(mktemp -d)
  cp "$root"/data/* "$config"/
  # COM1: chosen (connected at the start) and this section open.
  printf '1\r\n0\r\n0\r\n""\r\n%s\r\n' "$section" > "$config/KZ_ORBA_CTRL.ini"
  screen=$out/section-$section.png
  picture=$docs/window-${names[$run]}.png
  if [ "${names[$run]}" = receive-log ]; then
    screen=$out/receive-log.png
    picture=$root/docs/screenshots/window-receive-log.png
  fi
  rm -f "$screen"
  # The window's folder is a fresh copy of the defaults; the shot is taken once the window is
  # shown and connected and its Reads are done, and the window and the simulator are ended whatever happens.
  xvfb-run "${server[@]}" -s '-noreset -screen 0 640x800x24' bash -c '
    set -u
    build=$1 config=$2 screen=$3 picture=$4 reads=$5
    "$build/bin/kz-orba-sim" --link "$config/com1" > /dev/null & sim=$!
    app=
    trap "kill \$app \$sim 2>/dev/null; wait \$app \$sim 2>/dev/null" EXIT
    for _ in $(seq 50); do [ -L "$config/com1" ] && break; sleep 0.1; done
    QT_QPA_PLATFORM=xcb KZ_ORBA_COM1="$config/com1" "$build/bin/kz-orba-ctrl" --config-dir "$config" & app=$!
    id=
    for _ in $(seq 100); do
      id=$(xdotool search --onlyvisible --name "KZ-ORBA" 2>/dev/null | head -1)
      [ -n "$id" ] && break
      sleep 0.1
    done
    [ -n "$id" ] || { echo "screenshots.sh: the window did not appear" >&2; exit 1; }
    sleep 1.5
    for at in $reads; do
      xdotool mousemove --window "$id" --sync "${at%,*}" "${at#*,}" click 1
      sleep 3
    done
    xdotool mousemove 639 799
    # -strip: no time stamps in the files, so an unchanged window gives unchanged pictures.
    import -window root -strip "$screen"
    import -window "$id" -strip "$picture"
  ' screenshots "$build" "$config" "$screen" "$picture" "${reads[$run]}" || status=1
  rm -rf "$config"
  if [ -f "$screen" ]; then
    echo "$screen"
    echo "$picture"
  else
    echo "screenshots.sh: no picture of ${names[$run]}" >&2
    status=1
  fi
done
exit "$status"
