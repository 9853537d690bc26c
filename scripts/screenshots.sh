#!/usr/bin/env bash
# Takes a screenshot of each of the three sections, connected to the simulated receiver, under a
# virtual display: build/screenshots/section-{0,1,2}.png. Needs a build (scripts/build.sh).
# FONT_DPI=120 or 144 takes them with that font setting and no display scaling, as a desktop with
# a larger font shows the window: build/screenshots/section-N-DPIdpi.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=$build/screenshots
dpi=${FONT_DPI:-96}
suffix=
[ "$dpi" = 96 ] || suffix=-${dpi}dpi
# The window grows with the font: the screen with it.
width=$(( (640 * dpi + 95) / 96 )) height=$(( (540 * dpi + 95) / 96 ))
mkdir -p "$out"
for section in 0 1 2; do
  config=$(mktemp -d)
  cp "$root"/data/* "$config"/
  printf '1\r\n0\r\n0\r\n""\r\n%s\r\n' "$section" > "$config/KZ_ORBA_CTRL.ini"
  QT_ENABLE_HIGHDPI_SCALING=0 QT_FONT_DPI=$dpi \
  xvfb-run -a -s "-screen 0 ${width}x${height}x24" bash -c "
    '$build/bin/kz-orba-sim' --link '$config/com1' > /dev/null & sim=\$!
    sleep 0.5
    KZ_ORBA_COM1='$config/com1' '$build/bin/kz-orba-ctrl' --config-dir '$config' & app=\$!
    sleep 2.5
    import -window root '$out/section-$section$suffix.png'
    kill \$app \$sim
  " || true
  rm -rf "$config"
  echo "$out/section-$section$suffix.png"
done
