#!/usr/bin/env bash
# Many commands on one machine folder at once: 16 scripts at a time, three
# rounds, each script setting its own registry value and writing its own
# file. The folder's lock makes them take turns: every change of every run
# must be there at the end, and the folder must load cleanly.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

machine=$work/machine
"$host" machine new "$machine" >/dev/null || { echo "FAILED: no machine"; exit 1; }
runs=16
rounds=3
for round in $(seq 1 $rounds); do
    for run in $(seq 1 $runs); do
        name=r${round}n${run}
        printf 'set-sz HKLM\\Software\\Test %s "value of %s"\nwrite C:\\Runs\\%s.txt <<END\n%s\nEND\n' \
            "$name" "$name" "$name" "$name" >"$work/$name.script"
        "$host" run --machine "$machine" "$work/$name.script" >/dev/null 2>"$work/$name.err" &
    done
    failed=0
    for job in $(jobs -p); do
        wait "$job" || failed=$((failed + 1))
    done
    check "round $round: all $runs runs at once succeed" [ "$failed" -eq 0 ]
done

for round in $(seq 1 $rounds); do
    for run in $(seq 1 $runs); do
        name=r${round}n${run}
        printf 'expect value HKLM\\Software\\Test %s "value of %s"\nexpect file-contains C:\\Runs\\%s.txt %s\n' \
            "$name" "$name" "$name" "$name"
    done
done >"$work/every-change"
check "every change of every run is there and the folder loads" \
    "$host" run --machine "$machine" "$work/every-change" >/dev/null
check "the journal records every run" \
    [ "$(grep -c '^run ' "$machine/journal.log")" -eq $((runs * rounds + 1)) ]
check "no save was left behind" eval '[ ! -e "$machine/state.new" ] && [ ! -e "$machine/state.old" ]'

# The lock file removed while a command works (stopped by strace at its first
# flush, the record's) lets no second command in, and the first one's change
# is kept.
printf 'set-sz HKLM\\Software\\Test First 1\n' >"$work/first"
printf 'set-sz HKLM\\Software\\Test Second 2\n' >"$work/second"
printf 'expect value HKLM\\Software\\Test First 1\n' >"$work/first-kept"
strace -o /dev/null -e trace=fsync -e inject=fsync:signal=STOP:when=1 \
    "$host" run --machine "$machine" "$work/first" >/dev/null 2>&1 &
tracer=$!
until pid=$(sed -n 's/^pid \([0-9]*\): run .*first$/\1/p' "$machine/lock" 2>/dev/null) && [ -n "$pid" ] &&
    grep -q '^State:.*[tT] (' "/proc/$pid/status"; do
    kill -0 "$tracer" 2>/dev/null || break # never stopped: the checks below fail
    sleep 0.05
done
rm "$machine/lock"
run run --machine "$machine" --no-wait "$work/second"
check "with its lock file removed, the folder is still in use" eval 'status_is 2 && error_has "is in use"'
kill -CONT "$pid"
wait "$tracer"
check "the first command's change is kept" "$host" run --machine "$machine" "$work/first-kept" >/dev/null

finish
