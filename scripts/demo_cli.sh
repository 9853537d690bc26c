#!/usr/bin/env bash
# The "copy a receiver" walk-through of kz-orba-cli against two simulated receivers: set up room 1,
# read it into a profile, apply the profile to room 2 (in another state), and check with diff.
# Builds first when needed. Usage: scripts/demo_cli.sh [--help]
set -euo pipefail
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
  sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
bin=$build/bin
[ -x "$bin/kz-orba-cli" ] || "$root/scripts/build.sh" > /dev/null

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
for room in room1 room2; do
  "$bin/kz-orba-sim" --link "$work/$room" > /dev/null &
  pids+=($!)
done
for room in room1 room2; do
  for _ in $(seq 50); do [ -L "$work/$room" ] && break; sleep 0.1; done
done

cli() { echo "\$ kz-orba-cli $*" | sed "s|$work/||g" >&2; "$bin/kz-orba-cli" "$@"; }
cli --port "$work/room1" set aspect="4:3 TV" hue=40 projector_port=19200,8,N,1 \
  display_on_command="50 57 52 31 0D"
cli --port "$work/room2" set display=Off
cli --port "$work/room1" read > "$work/room1.profile"
echo "(room1.profile: $(grep -c = "$work/room1.profile") settings)"
cli --port "$work/room2" diff "$work/room1.profile" || echo "(status $?: room 2 differs)"
cli --port "$work/room2" --trace "$work/room2.trace" apply "$work/room1.profile"
echo "(the trace of apply holds $(wc -l < "$work/room2.trace") transactions; the first three:)"
head -3 "$work/room2.trace"
cli --port "$work/room2" diff "$work/room1.profile" && echo "(status 0: room 2 matches room 1)"
