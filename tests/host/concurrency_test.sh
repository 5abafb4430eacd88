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

finish
