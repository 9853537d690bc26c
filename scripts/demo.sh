#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated receiver, and opens the window on it
# with COM1 wired to the simulator. The window keeps its settings in build/demo-config, so the
# shipped data files stay clean. Extra arguments go to the simulator (see kz-orba-sim --help).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" > /dev/null
build=${BUILD_DIR:-$root/build}
bin=$build/bin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  echo "No display to show the window on. Run it in a virtual display instead:" >&2
  echo "  xvfb-run -a -s '-screen 0 1024x768x24' scripts/demo.sh" >&2
  exit 2
fi

config=${KZ_DEMO_CONFIG:-$build/demo-config}
mkdir -p "$config"
# The shipped data files (data/ holds exactly the files the build copies beside the window).
for src in "$root"/data/*; do
  f=$(basename "$src")
  [ -e "$config/$f" ] || cp "$src" "$config/$f"
done
# First run: COM1 chosen and the receiver section open.
if [ ! -e "$config/.prepared" ]; then
  printf '1\r\n0\r\n0\r\n""\r\n%s\r\n' "${KZ_DEMO_SECTION:-1}" > "$config/KZ_ORBA_CTRL.ini"
  touch "$config/.prepared"
fi

link=$config/com1
"$bin/kz-orba-sim" --link "$link" --log "$config/sim.log" "$@" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
echo "simulated receiver on $link (log: $config/sim.log)"
KZ_ORBA_COM1=$link "$bin/kz-orba-ctrl" --config-dir "$config"
