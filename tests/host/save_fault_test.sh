#!/usr/bin/env bash
# A machine folder whose save fails halfway: the host is stopped by the
# file-size limit while it writes the new registry file, once killed by the
# signal and once refused with an error. The previous state must stay whole,
# load as it was, and the next save must succeed. And a journal record cut
# off by the same limit.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

machine=$work/machine
"$host" machine new "$machine" >/dev/null || { echo "FAILED: no machine"; exit 1; }

# A value that makes the registry file larger than the limit below, which
# machine.conf stays under.
big=$(printf 'b%.0s' $(seq 1 6000))
printf 'set-sz HKLM\\Software\\Test Before "%s"\n' "$big" >"$work/before"
"$host" run --machine "$machine" "$work/before" >/dev/null
cp "$machine/state/registry.reg" "$work/registry.before"
printf 'set-sz HKLM\\Software\\Test After cut\n' >"$work/after"
printf 'expect value HKLM\\Software\\Test Before "%s"\nexpect no-value HKLM\\Software\\Test After\n' \
    "$big" >"$work/unchanged"

# The journal, which the record goes into before the save, is emptied so
# that only the save meets the limit; without its index (as in a folder of an
# earlier version) the registry is saved whole.
: >"$machine/journal.log"
rm "$machine/state/registry.idx"

# Killed by SIGXFSZ halfway through registry.reg (2 KB of at least 6 KB).
# (The outer subshell, whose error output is dropped, reports the signal.)
( (ulimit -f 2 && exec "$host" run --machine "$machine" "$work/after") >/dev/null; exit $? ) \
    2>/dev/null
status=$?
check "the save was cut off by the signal" [ "$status" -eq $((128 + 25)) ]
check "the new state was being written beside the old" test -d "$machine/state.new"
check "the old registry file is untouched" cmp -s "$machine/state/registry.reg" "$work/registry.before"
check "the machine loads as it was before the cut-off save" \
    "$host" run --machine "$machine" "$work/unchanged" >/dev/null
check "the next save leaves nothing of the cut-off one" test ! -e "$machine/state.new"

# The same write refused with an error (the signal ignored): the host reports
# it and the state stays whole.
(trap '' XFSZ && ulimit -f 2 && exec "$host" run --machine "$machine" "$work/after") \
    >/dev/null 2>"$work/err"
status=$?
check "a refused save is an error" [ "$status" -eq 2 ]
check "the error names the file it could not write" grep -q "registry.reg" "$work/err"
check "the machine still loads as it was" "$host" run --machine "$machine" "$work/unchanged" >/dev/null

# Without the limit the change is saved.
"$host" run --machine "$machine" "$work/after" >/dev/null
printf 'expect value HKLM\\Software\\Test After cut\n' >"$work/saved"
check "a save without a fault keeps the change" "$host" run --machine "$machine" "$work/saved" >/dev/null

# A journal record that does not fit under the file-size limit (a full disk
# alike) is left out whole, and the warning names the cause; a journal whose
# last line was cut short (by a kill) gets it ended before the next record.
printf '%*s\n' $((4096 - $(stat -c %s "$machine/journal.log") % 1024 - 11)) '' >>"$machine/journal.log"
size=$(stat -c %s "$machine/journal.log")
(trap '' XFSZ && ulimit -f $(((size + 1023) / 1024)) && exec "$host" call --machine "$machine" HKIsWindowsXP) \
    >/dev/null 2>"$work/err"
check "a journal record that does not fit is left out whole, the warning naming the cause" \
    eval '[ "$(stat -c %s "$machine/journal.log")" -eq "$size" ] && grep -q "File too large (the record is left out)" "$work/err"'
printf 'cut short' >>"$machine/journal.log"
"$host" call --machine "$machine" HKIsWindowsXP >/dev/null
check "the next record starts on a line of its own" \
    eval '[ "$(grep -A1 -x "cut short" "$machine/journal.log" | tail -1)" = "call HKIsWindowsXP" ]'

# A record whose end alone does not fit keeps the line that says it has none.
size=$(stat -c %s "$machine/journal.log")
"$host" call --machine "$machine" HKIsWindowsXP >/dev/null
record=$(($(stat -c %s "$machine/journal.log") - size))
limit=$((((size + record) / 1024 + 2) * 1024))
printf '%*s\n' $((limit - record - $(stat -c %s "$machine/journal.log"))) '' >>"$machine/journal.log"
(trap '' XFSZ && ulimit -f $((limit / 1024)) && exec "$host" call --machine "$machine" HKIsWindowsXP) \
    >/dev/null 2>"$work/err"
check "a record whose end cannot be written ends in a line that says so, as the warning does" \
    eval '[ "$(tail -1 "$machine/journal.log")" = "-> unfinished" ] &&
          grep -q "File too large (the record.s end is left out" "$work/err"'

# A file that cannot be written whole is left as it was, nothing beside it,
# and the error names the cause; a machine new that cannot be built leaves
# nothing of its build.
printf 'write C:\\f.txt <<END\nbefore\nEND\n' >"$work/small"
"$host" run --machine "$machine" "$work/small" >/dev/null
{ printf 'write C:\\f.txt <<END\n'; head -c 20000 /dev/zero | tr '\0' x; printf '\nEND\n'; } >"$work/large"
: >"$machine/journal.log"
(trap '' XFSZ && ulimit -f 8 && exec "$host" run --machine "$machine" "$work/large") >/dev/null 2>"$work/err"
status=$?
check "a write line that fails leaves the file as it was and names the cause" \
    eval '[ "$status" -eq 2 ] && grep -q "cannot write C:.f.txt: File too large" "$work/err" &&
          [ "$(cat "$machine/drives/C/f.txt")" = "$(printf "before\r")" ] &&
          [ -z "$(ls -A "$machine/drives/C" | grep radozavu)" ]'
(trap '' XFSZ && ulimit -f 1 && exec "$host" machine new "$work/built") >/dev/null 2>"$work/err"
status=$?
check "a machine new that fails removes its build and names the cause" \
    eval '[ "$status" -eq 2 ] && grep -q "File too large" "$work/err" &&
          [ -z "$(ls -A "$work" | grep built)" ]'

finish
