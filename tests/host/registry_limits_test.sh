#!/usr/bin/env bash
# Windows' registry limits through the host: a script line that would make a
# key too deep or with too long a name, or a value with too long a name, is
# the script's error on its line and changes nothing; a registry.reg beyond
# the limits is refused with its line.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

levels() { printf 'k\\%.0s' $(seq $(($1 - 1))); echo k; } # N levels of keys named k
long257=$(printf 'n%.0s' $(seq 257))
long16384=$(printf 'v%.0s' $(seq 16384))
machine=$work/machine
"$host" machine new "$machine" >/dev/null

# key below HKLM | value name | exit status | the refusal
while IFS='|' read -r key name expected refusal; do
    registry_state "$machine" >"$work/registry.before"
    printf 'set-sz HKLM\\%s "%s" x\n' "$key" "$name" >"$work/limits"
    run run --machine "$machine" "$work/limits"
    check "${refusal:-a key at the deepest level}: exit status $expected" status_is "$expected"
    if [ -n "$refusal" ]; then
        check "$refusal: named with its line" error_has "limits:1: cannot set the value: $refusal"
        check "$refusal: nothing changed" eval 'registry_state "$machine" | cmp -s "$work/registry.before" -'
    fi
done <<TABLE
$(levels 510)|A|0|
$(levels 511)|A|2|a key would lie deeper than the 512 levels Windows allows
$(levels 15000)|A|2|a key would lie deeper than the 512 levels Windows allows
Software\\$long257|A|2|a key name is longer than 256 characters
Software|$long16384|2|a value name is longer than 16383 characters
TABLE

# A saved registry beyond the limits: the line of the machine's file and why.
while IFS='|' read -r line refusal; do
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n%s\r\n' "$line" \
        >"$machine/state/registry.reg"
    run call --machine "$machine" HKIsWindowsXP
    check "registry.reg: $refusal" \
        eval 'status_is 2 && error_has "registry.reg is damaged: line 4: $refusal"'
done <<TABLE
[HKEY_LOCAL_MACHINE\\$(levels 511)]|a key would lie deeper than the 512 levels Windows allows
[HKEY_CURRENT_USER\\$long257]|a key name is longer than 256 characters
"$long16384"="x"|a value name is longer than 16383 characters
TABLE

finish
