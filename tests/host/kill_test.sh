#!/usr/bin/env bash
# A command killed (SIGKILL) at fixed points of its work, named through the
# host's test hook: inside the script, before the save, and at each step of
# the save. The folder must always load, hold either the old state or the
# new one whole, not stay locked, and record the interruption in its journal.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

machine=$work/machine
"$host" machine new "$machine" >/dev/null || { echo "FAILED: no machine"; exit 1; }
printf 'set-sz HKLM\\Software\\Test Value old\n' >"$work/old"
printf 'set-sz HKLM\\Software\\Test Value new\nwrite C:\\new.txt <<END\nnew\nEND\nset-sz HKLM\\Software\\Test Other new\n' \
    >"$work/new"

# the point | the value the folder holds after the kill
while IFS='|' read -r point value; do
    "$host" run --machine "$machine" "$work/old" >/dev/null
    # (The outer subshell, whose error output is dropped, reports the signal.)
    ( (RADOZAVU_HOST_KILL_AT=$point exec "$host" run --machine "$machine" "$work/new") \
        >/dev/null 2>&1; exit $? ) 2>/dev/null
    status=$?
    check "$point: the command was killed there" [ "$status" -eq 137 ]
    printf 'expect value HKLM\\Software\\Test Value %s\n' "$value" >"$work/expected"
    "$host" run --machine "$machine" --no-wait "$work/expected" >/dev/null 2>"$work/err"
    status=$?
    check "$point: the folder loads, unlocked, with the $value state whole" [ "$status" -eq 0 ]
    check "$point: the next command tells of the interruption" grep -q "was interrupted" "$work/err"
    check "$point: the journal records it" \
        grep -q "^interrupted: pid [0-9]*: run $work/new (killed before it finished" "$machine/journal.log"
    check "$point: no save is left behind" \
        eval '[ ! -e "$machine/state.new" ] && [ ! -e "$machine/state.old" ]'
done <<'TABLE'
after-line-1|old
before-save|old
save-settings-written|old
save-written|old
save-set-aside|old
save-swapped|new
TABLE

finish
