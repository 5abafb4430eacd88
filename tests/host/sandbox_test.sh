#!/usr/bin/env bash
# The machine folder is a sandbox: a link or special file placed under
# drives/ is never followed out of the machine folder nor opened, and a call
# or script line never hangs or crashes on one: a path through one names
# nothing on the machine. A link to a folder of the drives is a junction,
# through which the library deletes nothing.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

# What is placed under drives/ | the script's lines (";;" between them) |
# what must hold afterwards. $outside is a folder beside the machine folder.
while IFS='|' read -r name place script holds; do
    machine=$work/machine-$name
    outside=$work/outside-$name
    "$host" machine new "$machine" >/dev/null
    mkdir -p "$outside" && echo old >"$outside/MFC42.DLL"
    drives=$machine/drives
    eval "$place"
    printf '%s\n' "${script//;;/$'\n'}" >"$work/script"
    timeout 60 "$host" run --machine "$machine" "$work/script" >"$work/out" 2>"$work/err"
    status=$?
    check "$name: the run ends, neither hung nor killed (status $status)" test "$status" -lt 124
    check "$name: $holds" eval "$holds"
done <<'TABLE'
write-through-link|ln -s "$outside" "$drives/C/link"|write C:\link\x.txt <<END;;x;;END|[ ! -e "$outside/x.txt" ]
cleanup-through-BIN-link|mkdir "$drives/C/App" && ln -s "$outside" "$drives/C/App/BIN"|HKSetupCleanUpOldFiles --param C:\App|[ -e "$outside/MFC42.DLL" ]
cleanup-through-BIN-junction|mkdir -p "$drives/C/App" "$drives/C/Else" && echo old >"$drives/C/Else/MFC42.DLL" && ln -s ../Else "$drives/C/App/BIN"|HKSetupCleanUpOldFiles --param C:\App|[ -e "$drives/C/Else/MFC42.DLL" ]
drive-linked-to-root|rm -rf "$drives/D" && ln -s / "$drives/D"|expect file D:\etc\hostname|grep -qF '(got: absent)' "$work/err"
fifo|mkfifo "$drives/C/pipe"|HKIsWindowsXP|[ -p "$drives/C/pipe" ]
link-to-dev-zero|ln -s /dev/zero "$drives/C/zero"|HKIsWindowsXP|! grep -q bad_alloc "$work/err"
TABLE

finish
