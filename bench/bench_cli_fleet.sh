#!/usr/bin/env bash
# Apply of one profile to many simulated receivers at once over loopback TCP, with kz-orba-cli's
# fleet mode: wall time, its ratio to one receiver, peak memory and CPU time of the CLI.
#   bench/bench_cli_fleet.sh [COUNT...]      default: 1 10 50 200, then the fault row
# Every line runs at once (--jobs equal to the count); JOBS=16 shows 16 at a time instead, and
# JOBS=default gives no --jobs, so that the tool takes as many lines as its descriptors allow.
# The fault row runs 50 receivers of which 5 never answer and 5 drop the connection during the
# apply; the summary should name those 10 and the other 40 finish as without faults.
# Needs a build (scripts/build.sh); BUILD_DIR chooses another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$root/build}/bin
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(1 10 50 200)
work=$(mktemp -d)
sim_pid=
cleanup() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Below the ephemeral range (32768 and up), so no client connection holds a port the next run needs.
base=$((20000 + RANDOM % 8000))
# A profile that differs from the simulator's start values in several lists.
cat > "$work/profile" << 'PROFILE'
aspect = 16:9 TV
audio = Off
display_mode = AV SW
hdcp = Compliant
brightness = 40
contrast = 60
PROFILE

# Starts count receivers on consecutive ports from base (extra arguments go to the simulator)
# and writes their addresses to the ports file.
start_sim() {
    local count=$1
    shift
    : > "$work/ports"
    for ((i = 0; i < count; ++i)); do
        echo "tcp://127.0.0.1:$((base + i))" >> "$work/ports"
    done
    "$bin/kz-orba-sim" --tcp "127.0.0.1:$base-$((base + count - 1))" "$@" > "$work/sim.out" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do
        [ "$(grep -c 'listening on' "$work/sim.out" || true)" -ge "$count" ] && return 0
        sleep 0.1
    done
    echo "the simulator did not start:" >&2
    cat "$work/sim.out" >&2
    exit 1
}

stop_sim() {
    kill "$sim_pid" 2> /dev/null || true
    wait "$sim_pid" 2> /dev/null || true
    sim_pid=
    base=$((base + 250))
}

# Runs one apply on count lines and prints "wall_s peak_kb cpu_s status".
run_apply() {
    local status=0
    local jobs=(--jobs "${JOBS:-$1}")
    [ "${JOBS:-}" != default ] || jobs=()
    /usr/bin/time -o "$work/time" -f '%e %M %U %S' \
        "$bin/kz-orba-cli" --ports-file "$work/ports" "${jobs[@]}" apply "$work/profile" \
        > "$work/cli.out" 2> "$work/cli.err" || status=$?
    # time puts a line about a non-zero status first; the figures are on the last line.
    read -r wall peak user sys < <(tail -n 1 "$work/time")
    echo "$wall $peak $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $status"
}

row() { # label wall peak_kb cpu status
    awk -v l="$1" -v w="$2" -v o="$one" -v p="$3" -v c="$4" -v s="$5" \
        'BEGIN { printf "%-22s %10.2f %10.2f %12.1f %10.2f %8s\n", l, w, w / o, p / 1024, c, s }'
}

printf '%-22s %10s %10s %12s %10s %8s\n' receivers "wall (s)" "x one" "peak (MB)" "CPU (s)" status
one=
for count in "${counts[@]}"; do
    start_sim "$count"
    read -r wall peak cpu status < <(run_apply "$count")
    stop_sim
    [ -n "$one" ] || one=$wall
    row "$count" "$wall" "$peak" "$cpu" "$status"
done

if [ $# -eq 0 ]; then
    start_sim 50 --faulty "$((base + 45))-$((base + 49)):silent=all" \
        --faulty "$((base + 40))-$((base + 44)):hang-up-on=WP_PictureCon"
    read -r wall peak cpu status < <(run_apply 50)
    stop_sim
    row "50, 10 faulty" "$wall" "$peak" "$cpu" "$status"
    echo
    echo "Summary of the faulty run:"
    tail -n 15 "$work/cli.out"
fi
