#!/bin/bash
# scripts/leftovers.py on small commands: the command's status passes through; a kz-orba program
# the command loses (its wrapper killed, the real process still running, in a folder since
# deleted) is named with its PID, fails the run and is ended; other leftovers are a note.
# Usage: leftovers_test.sh LEFTOVERS_PY KZ_ORBA_SIM
set -uo pipefail
leftovers=$1 sim=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SIM=$sim WORK=$work
failures=0

# The simulator behind a shell that is killed: the shape of the fault (the PID a test holds is
# the wrapper's). The folder it runs in is deleted before the run ends.
lose_sim='mkdir "$WORK/gone" && cd "$WORK/gone" && { sh -c "exec \"\$SIM\" --link \"\$WORK/lost\" >/dev/null" & sleep 60 & wait; } & wrapper=$!;'
lose_sim+=' for _ in $(seq 100); do [ -L "$WORK/lost" ] && break; sleep 0.05; done; kill $wrapper; cd /; rmdir "$WORK/gone"'

# name | command | status | what stderr holds (a regular expression; empty: nothing)
cases=(
    "nothing left|true|0|"
    "the command's status|exit 3|3|"
    "the simulator ended by its starter|\"\$SIM\" --link \"\$WORK/ended\" >/dev/null & pid=\$!; for _ in \$(seq 100); do [ -L \"\$WORK/ended\" ] && break; sleep 0.05; done; kill \$pid; wait \$pid; exit 0|0|"
    "the simulator lost|$lose_sim; exit 0|1|^leftovers.py: kz-orba-sim still running after the tests \(PID [0-9]+, user [^,]+, in $work/gone \(deleted\): $sim --link $work/lost\); ending it$"
    "lost, and the command failed|$lose_sim; exit 5|5|kz-orba-sim still running after the tests"
    "another program left|(sleep 60 &); exit 0|0|^leftovers.py: note: sleep still running after the tests \(PID [0-9]+"
)
for row in "${cases[@]}"; do
    IFS='|' read -r name command want says <<<"$row"
    "$leftovers" bash -c "$command" 2>"$work/err"
    status=$?
    err=$(cat "$work/err")
    problem=
    [ "$status" = "$want" ] || problem="status $status, not $want"
    if [ -z "$says" ]; then
        [ -z "$err" ] || problem="$problem; stderr: $err"
    else
        grep -Eq -- "$says" "$work/err" || problem="$problem; stderr does not match [$says]: $err"
    fi
    # Whatever was named has been ended.
    for pid in $(grep -o 'PID [0-9]*' "$work/err" | cut -d' ' -f2); do
        ! kill -0 "$pid" 2>/dev/null || { problem="$problem; PID $pid still runs"; kill -9 "$pid"; }
    done
    if [ -n "$problem" ]; then
        echo "FAIL: $name: ${problem#; }"
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
done
[ "$failures" = 0 ]
