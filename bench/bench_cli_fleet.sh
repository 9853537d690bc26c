#!/usr/bin/env bash
# kz-orba-cli on many simulated receivers at once (pseudo-terminals, one kz-orba-sim each):
# wall time, CPU and peak memory of `apply` of one profile to each count given (with --jobs equal
# to the count, so that all lines are busy at once), and
# the ratio to one. Prints figures, never pass/fail.
# Usage: bench/bench_cli_fleet.sh [COUNT...]   (default 1 10 50; needs /usr/bin/time)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$root/build}/bin
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1 10 50)
max=1
for n in "${counts[@]}"; do [ "$n" -gt "$max" ] && max=$n; done

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
for i in $(seq "$max"); do
  "$bin/kz-orba-sim" --link "$work/rx$i" > /dev/null &
  pids+=($!)
done
for i in $(seq "$max"); do
  for _ in $(seq 100); do [ -L "$work/rx$i" ] && break; sleep 0.05; done
done
# Every run changes something: the profile alternates between two states.
printf 'aspect = 4:3 TV\nhue = 20\nprojector_port = 19200,8,N,1\n' > "$work/a.profile"
printf 'aspect = Full\nhue = 50\nprojector_port = 9600,8,N,1\n' > "$work/b.profile"

printf '%-10s %10s %8s %12s %10s\n' receivers "wall ms" ratio "peak MB" "CPU ms"
one=""
flip=a
for n in "${counts[@]}"; do
  args=()
  for i in $(seq "$n"); do args+=(--port "$work/rx$i"); done
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" \
    "$bin/kz-orba-cli" --config-dir "$bin" --jobs "$n" "${args[@]}" apply "$work/$flip.profile" > /dev/null || true
  read -r wall kb user sys < "$work/time"
  ms=$(awk -v w="$wall" 'BEGIN { printf "%.0f", w * 1000 }')
  [ -n "$one" ] || one=$ms
  awk -v n="$n" -v ms="$ms" -v one="$one" -v kb="$kb" -v u="$user" -v s="$sys" \
    'BEGIN { printf "%-10s %10d %8.2f %12.1f %10.0f\n", n, ms, ms / one, kb / 1024, (u + s) * 1000 }'
  # All receivers now hold this profile; the next count applies the other one.
  for i in $(seq "$max"); do
    [ "$i" -le "$n" ] || "$bin/kz-orba-cli" --config-dir "$bin" --port "$work/rx$i" apply "$work/$flip.profile" > /dev/null
  done
  flip=$([ $flip = a ] && echo b || echo a)
done
