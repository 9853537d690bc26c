#!/usr/bin/env bash
# Runs a longer libFuzzer campaign for each fuzz target, one after the other, and prints runs,
# time, coverage and findings. Usage: scripts/fuzz.sh [seconds per target] [target ...]
#   seconds: default 300 (FUZZ_SECONDS overrides it too); targets: default all four.
# Builds the "asan" preset first. Each target's corpus grows in build-asan/fuzz-campaign/<target>/
# (seeded from fuzz/corpus/<target>/ and kept between campaigns); findings (crash-*, leak-*,
# timeout-*, oom-*) land in build-asan/fuzz-campaign/findings/<target>/. Exit status 1 when any
# target found something.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-300}}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_fields fuzz_codec fuzz_reply fuzz_port_reply fuzz_display_reply fuzz_telnet)

cd "$root"
cmake --preset asan >/dev/null
cmake --build --preset asan --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
campaign=$root/build-asan/fuzz-campaign
summary=()
found=0
for t in "${targets[@]}"; do
    corpus=$campaign/$t
    findings=$campaign/findings/$t
    log=$campaign/$t.log
    mkdir -p "$corpus" "$findings"
    before=$(find "$findings" -type f | wc -l)
    echo "== $t: ${seconds}s"
    start=$(date +%s)
    status=0
    "$root/build-asan/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$root/fuzz/corpus/$t" \
        >"$log" 2>&1 || status=$?
    took=$(($(date +%s) - start))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    after=$(find "$findings" -type f | wc -l)
    new=$((after - before))
    if [ "$status" -ne 0 ] || [ "$new" -gt 0 ]; then
        found=1
        echo "   FOUND something (exit $status): see $log and $findings"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|invariant broken|.*runtime error)' "$log" | head -5 || true
    fi
    summary+=("$(printf '%-16s runs %10s  time %5ss  exec/s %7s  cov %5s  ft %6s  corpus %5s  findings %s' \
        "$t" "${runs:-?}" "$took" "${speed:-?}" "${cov:-?}" "${ft:-?}" \
        "$(find "$corpus" -type f | wc -l)" "$new")")
done
echo
echo "fuzz campaign, ${seconds}s per target:"
printf '%s\n' "${summary[@]}"
exit $found
