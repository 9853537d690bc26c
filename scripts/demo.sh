#!/usr/bin/env bash
# Installs what is missing, builds, starts the simulated receiver, and opens the window on it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
bin=${BUILD_DIR:-$root/build}/bin
link=${KZ_DEMO_LINK:-/tmp/kz-orba-demo-com1}
"$bin/kz-orba-sim" --link "$link" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "simulated receiver on $link (pid $sim)"
wait $sim
