#!/usr/bin/env bash
# A command killed (SIGKILL) at fixed points of its work, named through the
# host's test hook: inside the script, before the save, at each step of the
# save and of its journal record. The folder must always load, hold either
# the old state or the new one whole, with the run's record whenever it
# holds the new, not stay locked, and record in its journal which state
# survived the interruption.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

machine=$work/machine
"$host" machine new "$machine" >/dev/null || { echo "FAILED: no machine"; exit 1; }
printf 'set-sz HKLM\\Software\\Test Value old\n' >"$work/old"
printf 'set-sz HKLM\\Software\\Test Value new\nwrite C:\\new.txt <<END\nnew\nEND\nset-sz HKLM\\Software\\Test Other new\n' \
    >"$work/new"

# the point | the value the folder holds after the kill | what the next
# command writes of it (nothing: the command had finished but for clearing
# its name)
while IFS='|' read -r point value told; do
    "$host" run --machine "$machine" "$work/old" >/dev/null
    # (The outer subshell, whose error output is dropped, reports the signal.)
    ( (RADOZAVU_HOST_KILL_AT=$point exec "$host" run --machine "$machine" "$work/new") \
        >/dev/null 2>&1; exit $? ) 2>/dev/null
    status=$?
    check "$point: the command was killed there" [ "$status" -eq 137 ]
    check "$point: the journal holds the run's record whenever the state holds its changes" \
        eval '[ "$value" = old ] || [ "$(grep "^run " "$machine/journal.log" | tail -1)" = "run $work/new" ]'
    lines=$(wc -l <"$machine/journal.log")
    printf 'expect value HKLM\\Software\\Test Value %s\n' "$value" >"$work/expected"
    "$host" run --machine "$machine" --no-wait "$work/expected" >/dev/null 2>"$work/err"
    status=$?
    check "$point: the folder loads, unlocked, with the $value state whole" [ "$status" -eq 0 ]
    tail -n +$((lines + 1)) "$machine/journal.log" >"$work/written"
    if [ -n "$told" ]; then
        check "$point: the next command tells of the interruption" grep -q "was interrupted" "$work/err"
        check "$point: the journal records it, naming the state that survived" \
            grep -q "^interrupted: pid [0-9]*: run $work/new (killed before it finished: its changes were $told," \
            "$work/written"
    else
        check "$point: a command that wrote its record's end is not called interrupted" \
            eval '! grep -q "was interrupted" "$work/err" && ! grep -q "^interrupted:" "$work/written"'
    fi
    check "$point: no save is left behind" \
        eval '[ ! -e "$machine/state.new" ] && [ ! -e "$machine/state.old" ]'
done <<'TABLE'
after-line-1|old|not saved
before-save|old|not saved
journal-recorded|old|not saved
save-settings-written|old|not saved
save-written|old|not saved
save-set-aside|old|not saved
save-swapped|new|saved
journal-ended|new|
TABLE

# Killed at every write and truncation of the lock note and the journal and
# at every rename of a saving run (strace sends the signal as the call
# begins): the journal, with the next command's word on the interruption,
# always says which state survived.
i=0
for call in pwrite64 ftruncate rename; do
    for when in $(seq 1 20); do
        i=$((i + 1))
        printf 'set-sz HKLM\\Software\\G v %d\n' "$i" >"$work/g.script"
        ( (strace -o /dev/null -e trace="$call" -e inject="$call:signal=KILL:when=$when" \
            "$host" run --machine "$machine" "$work/g.script") >/dev/null 2>&1; exit $? ) 2>/dev/null
        status=$?
        "$host" run --machine "$machine" --check "$work/g.script" >/dev/null 2>&1
        # the run's record, to its end or the word on its interruption
        record=$(awk -v line="> set-sz HKLM\\Software\\G v $i" '$0 == line { on = 1 }
            on { print } on && /^(-> exit status|interrupted:)/ { exit }' "$machine/journal.log")
        saved=no && registry_state "$machine" | grep -q "^\"v\"=\"$i\"" && saved=yes
        case $record in
        *"-> exit status 0"* | *"its changes were saved"*) told=yes ;;
        *"its changes were not saved"* | "") told=no ;;
        *) told=unclear ;;
        esac
        check "killed at $call #$when: the journal says which state survived" [ "$told" = "$saved" ]
        [ "$status" -ne 137 ] && break # the run had no such call left to be killed at
    done
done

# machine new killed while it builds or before it renames the machine into
# place leaves nothing at the folder; the next machine new there makes a
# whole machine and removes what the killed one left beside it.
while read -r point; do
    target=$work/made-at-$point
    ( (RADOZAVU_HOST_KILL_AT=$point exec "$host" machine new "$target") >/dev/null 2>&1; exit $? ) \
        2>/dev/null
    status=$?
    check "machine new, $point: killed there, it leaves nothing at the folder" \
        eval '[ "$status" -eq 137 ] && [ ! -e "$target" ]'
    "$host" machine new "$target" >/dev/null 2>&1
    check "machine new, $point: the next one makes a whole machine and leaves nothing beside it" \
        eval '"$host" call --machine "$target" HKIsWindowsXP >/dev/null &&
              ! ls -A "$work" | grep -q "^\.made-at-$point\.new-"'
done <<'TABLE'
save-settings-written
save-swapped
new-built
TABLE

finish
