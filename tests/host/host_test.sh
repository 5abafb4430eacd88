#!/usr/bin/env bash
# The command-line host's own behaviour: its commands and their errors, the
# change report, script expectations, the conventions of a command-line tool,
# scripts checked whole before they run, queries that leave the state alone,
# the folder's lock, machine folders saved and loaded, and the refusal of a
# damaged machine folder.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"
one_error_line() { [ "$(wc -l <"$work/err")" -eq 1 ]; }

machine=$work/machine

run exports
check "exports lists every export with its result kind" status_is 0
check "exports names a record export" output_has "HKSetupAddActionLog  --param"
check "exports tells text results" output_has "GetProgramGroup  SETUP-FOLDER  -> text"

run
check "no command is a usage error" status_is 2
run frobnicate
check "an unknown command is a usage error" status_is 2
check "an unknown command gives one error line" one_error_line

run machine new "$machine" --windows 98
check "a new machine is created" status_is 0
check "the machine keeps its registry as a registry file" \
    grep -qx "REGEDIT4.\?" "$machine/state/registry.reg"
check "the machine keeps its version" grep -q "platform = 1" "$machine/state/machine.conf"
run machine new "$machine"
check "a machine is not created over another" status_is 2
run machine new "$work/other" --windows 3.11
check "an unknown Windows version is refused" status_is 2
check "the refusal lists the known versions" error_has "(known: 95 98 me nt4 nt4sp6 2000 xp 2003 vista 7 8.1 10 11)"
for refused in "98 x64:Windows had no 64-bit edition" "11 x86:Windows 11 is 64-bit only" "10 arm:--arch takes x86 or x64"; do
    words=${refused%%:*}
    run machine new "$work/other" --windows "${words% *}" --arch "${words#* }"
    check "--windows ${words% *} --arch ${words#* } is refused with the reason" \
        eval 'status_is 2 && error_has "${refused#*:}"'
done

# A 64-bit machine: the installer's keys in the 32-bit view, stored where a
# 64-bit registry editor shows them; HKLM64 names the 64-bit view.
run machine new "$work/x64" --windows 10 --arch x64
printf '%s\n' 'set-sz HKLM\Software\Brevanta Seen 32' 'set-sz HKLM64\Software\Brevanta Seen 64' \
    'expect value HKLM\Software\WOW6432Node\Brevanta Seen 32' 'expect value HKLM64\Software\Brevanta Seen 64' \
    >"$work/x64.script"
run run --machine "$work/x64" "$work/x64.script"
check "script lines name the installer's view, HKLM64 the 64-bit one" status_is 0
check "the 32-bit view is stored below WOW6432Node" \
    eval 'registry_state "$work/x64" | grep -qF "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Brevanta]"'
check "a 64-bit machine keeps its architecture" grep -qx "architecture = x64" "$work/x64/state/machine.conf"

run call --machine "$machine" NoSuchExport
check "an unknown export is a usage error" status_is 2
check "an unknown export gives one error line" one_error_line
run call --machine "$machine" GetProgramGroup
check "a wrong argument count is a usage error" status_is 2
check "a wrong argument count tells what is expected" error_has "takes 1 argument"
run call --machine "$machine" GetProgramGroup 'C:\Setup\' --param x
check "a record option on a plain export is refused" status_is 2
run call --machine "$work/nowhere" GetProgramGroup 'C:\Setup\'
check "a folder that is no machine is refused" status_is 2
check "the refusal says why" error_has "not a machine folder"

run call --machine "$machine" HKIsWindows2000
check "a call prints its result" output_has "HKIsWindows2000 -> 0"
check "a call without changes says so" output_has "(no changes)"
# A call's report reads only what the call touched: a FIFO, a link to an
# endless device and a large file on a drive cost it nothing.
mkfifo "$machine/drives/D/fifo"
ln -s /dev/zero "$machine/drives/D/zero"
truncate -s 2G "$machine/drives/D/large.bin"
timeout 20 "$host" call --machine "$machine" HKIsWindows2000 >"$work/out" 2>"$work/err"
status=$?
check "a call beside a FIFO, a link to /dev/zero and a large file reads none of them" \
    eval 'status_is 0 && output_has "(no changes)"'
rm "$machine/drives/D/fifo" "$machine/drives/D/zero" "$machine/drives/D/large.bin"
run call --machine "$machine" HKUpdateSetupDateInRegistryEX
check "the change report lists new keys" output_has "registry key added      HKLM\\Software\\Brevanta\\Quillane\\Preferences"
check "the change report lists new values" output_has '"LastSetupTime" = REG_SZ'
check "the journal records the call" grep -q "call HKUpdateSetupDateInRegistryEX" "$machine/journal.log"

cat >"$work/script" <<'SCRIPT'
# the date stamp from the call before is still there
expect key HKLM\Software\Brevanta\Quillane\Preferences
write C:\Setup\QLNSETUP.INI <<END
[Configuration]
ProgramGroup=Quillane Tools
END
GetProgramGroup C:\Setup\
expect result "Quillane Tools"
HKGetStringFromNumber 1907
HKGetNumberFromString $result
expect result 1907
set-sz HKLM\Software\Test Name "some text"
expect value HKLM\Software\Test Name "some text"
expect file C:\Setup\QLNSETUP.INI
expect file-contains C:\Setup\QLNSETUP.INI "Quillane Tools"
SCRIPT
run run --machine "$machine" "$work/script"
check "a script whose expectations hold succeeds" status_is 0
check "a script prints each call" output_has "> GetProgramGroup C:\\Setup\\"
check "a script confirms each expectation" output_has "ok: result is 1907"

printf 'GetProgramGroup C:\\Setup\\\nexpect result Other\nHKIsWindowsXP\n' >"$work/failing"
run run --machine "$machine" "$work/failing"
check "a failed expectation stops the script with status 1" status_is 1
check "a failed expectation names its line and what was seen, on standard error" \
    error_has "failing:2: expectation failed: result is Other (got: Quillane Tools)"
check "nothing after a failed expectation runs" bash -c "! grep -q HKIsWindowsXP '$work/out'"

printf 'expect frobs\n' >"$work/malformed"
run run --machine "$machine" "$work/malformed"
check "a malformed script line is a usage error" status_is 2

run run --machine "$machine" "$work/script"
check "the machine was saved between runs" status_is 0

# A save cut off after the old state was set aside: the old state is used.
mv "$machine/state" "$machine/state.old"
run call --machine "$machine" GetProgramGroup 'C:\Setup\'
check "an interrupted save leaves the previous state whole" output_has "GetProgramGroup -> Quillane Tools"
check "the state is whole again after the next save" test -f "$machine/state/registry.reg"

# Conventions: help for every command, the version, --opt=value, standard
# input, exit statuses, messages on standard error.
for command in "--help" "machine --help" "machine new --help" "call --help" "run --help" \
    "exports --help"; do
    run $command
    check "radozavu $command prints help" eval 'status_is 0 && output_has "usage: radozavu"'
done
run --version
check "--version names the library's version record" output_has "file version 5.1.0.55, product version 5.1.0.0"
run --library="$(dirname "$host")/libRADOZAVU.so" call --machine="$machine" HKIsWindowsXP
check "--opt=value is --opt value" output_has "HKIsWindowsXP -> 0"
printf 'HKGetStringFromNumber 1907 # the # starts a comment\nexpect result BJAH\n' |
    "$host" run --machine "$machine" - >"$work/out" 2>"$work/err"
status=$?
check "run - reads the script from standard input; # comments end a line" \
    eval 'status_is 0 && output_has "ok: result is BJAH"'
run run --machine "$machine" "$work"
check "a folder is no script" eval 'status_is 2 && error_has "it is a folder"'

# A script is checked whole before anything runs: every problem is listed by
# its line, nothing changes, and --check only checks.
cat >"$work/bad" <<'SCRIPT'
set-sz HKLM\Software\Test Bad "set before the problems"
write C:\bad.txt <<END
a file written before the problems
END
set-sz HKLM\Software\Test Quote "unclosed
HKGetNumberFromString ABC DEF
set-dword HKLM\Software\Test D notanumber
answer yes
wait -5
HKDelRegistryEntry 99999999999 Software x
Frobnicate
expect frobs
set-sz HKXX\Software x y
HKSetupValidateLocalDirectory --owner -1
write C:\unclosed.txt <<END
SCRIPT
before=$(stat -c %i "$machine/state")
run run --machine "$machine" "$work/bad"
check "a script with problems is refused" status_is 2
for problem in "bad:5: unclosed double quote" "bad:6: HKGetNumberFromString takes 1 argument" \
    "bad:7: set-dword takes a number from 0 to 4294967295, not notanumber" \
    "bad:8: answer takes a number from 0 to 11, not yes" "bad:9: wait takes a number from 0 to" \
    "bad:10: HKDelRegistryEntry: argument 1 is a number from -2147483648 to 2147483647" \
    "bad:11: unknown command or export: Frobnicate" "bad:12: unknown expectation: frobs" \
    "bad:13: not a registry root: HKXX" "bad:14: --owner takes a window number" \
    "bad:15: write: no closing END"; do
    check "the refusal lists: $problem" error_has "$problem"
done
check "a refused script runs nothing" eval '[ ! -s "$work/out" ] && [ ! -e "$machine/drives/C/bad.txt" ]'
check "a refused script leaves the state as it was" [ "$before" = "$(stat -c %i "$machine/state")" ]
run run --check "$work/bad"
check "run --check lists the same problems" eval 'status_is 2 && error_has "bad:15: write: no closing END"'
run run --check "$work/script"
check "run --check of a sound script runs nothing" \
    eval 'status_is 0 && output_has "no problems found" && ! output_has "GetProgramGroup ->"'

# Queries stay queries: the state is not rewritten, and the journal records
# every call of a script with its result.
printf 'HKIsWindowsXP\nHKGetStringFromNumber 7\nexpect result-not BJAH\n' >"$work/query"
run run --machine "$machine" "$work/query"
check "a script that changes nothing leaves the state's files alone" \
    eval 'status_is 0 && [ "$before" = "$(stat -c %i "$machine/state")" ]'
check "the journal records every call of a script with its result" \
    eval 'tail -8 "$machine/journal.log" | grep -q "HKIsWindowsXP -> 0" &&
          tail -8 "$machine/journal.log" | grep -q "HKGetStringFromNumber -> " &&
          tail -1 "$machine/journal.log" | grep -qx -- "-> exit status 0"'
# Platform marks: a line for the other machine is skipped with its reason, a
# line for this one runs, a line that may differ runs and says so; a mark
# without its reason or for an unknown machine is refused.
cat >"$work/marks" <<'SCRIPT'
on windows "not on the emulated machine" HKIsWindows2000
on emulated "only here" HKGetStringFromNumber 7
differs "the clock" HKIsWindowsXP
on windows "Wine only" expect result 9
SCRIPT
run run --machine "$machine" "$work/marks"
check "a line marked for the other machine is skipped with its reason" \
    eval 'status_is 0 && output_has "(skipped: only on the windows machine, not on the emulated machine: HKIsWindows2000)" && ! output_has "HKIsWindows2000 ->"'
check "a line marked for this machine runs without its mark" \
    eval 'output_has "> HKGetStringFromNumber 7" && output_has "(only on the emulated machine: only here)"'
check "a line that may differ runs and says why" \
    eval 'output_has "HKIsWindowsXP -> " && output_has "(may differ between the machines: the clock)"'
printf 'on linux "x" HKIsWindowsXP\ndiffers "" HKIsWindowsXP\non windows HKIsWindowsXP\n' >"$work/bad-marks"
run run --check "$work/bad-marks"
check "marks without a machine or a reason are refused" \
    eval 'status_is 2 && error_has "bad-marks:1: expected: on emulated|windows" &&
          error_has "bad-marks:2: a platform mark needs its reason" && error_has "bad-marks:3: expected: on"'

if [ "$(id -u)" -ne 0 ]; then # permissions bind everyone but root
    chmod -R a-w "$machine"
    run call --machine "$machine" HKIsWindowsXP
    check "a query works on a read-only machine folder" output_has "HKIsWindowsXP -> 0"
    chmod -R u+w "$machine"
fi

# One command at a time: with the folder held, --no-wait fails at once and
# names the holder.
flock "$machine" "$host" call --machine "$machine" --no-wait HKIsWindowsXP \
    >"$work/out" 2>"$work/err"
status=$?
check "--no-wait on a folder in use fails at once" eval 'status_is 2 && error_has "is in use by another radozavu"'

# Bad numbers get clear messages, ranges included, in scripts and machine.conf.
run machine new "$work/numbers" --codepage=huge
check "a bad --codepage is refused clearly" eval 'status_is 2 && error_has "--codepage takes a code page number"'
cp "$machine/state/machine.conf" "$work/machine.conf"
sed -i 's/^major = .*/major = 99999999999999/' "$machine/state/machine.conf"
run call --machine "$machine" HKIsWindowsXP
check "a number too large for machine.conf is refused" \
    error_has "machine.conf:6: major: not a number from 0 to 4294967295: 99999999999999"
cp "$work/machine.conf" "$machine/state/machine.conf"

# Numbers are decimal wherever a person writes one, a leading zero too; 0x
# is hexadecimal. (machine.conf's next-process-id read as octal would be 1024.)
sed -i 's/^next-process-id = .*/next-process-id = 02000/' "$machine/state/machine.conf"
cat >"$work/decimal" <<'SCRIPT'
set-dword HKLM\Software\Numbers Mode 0755
expect value HKLM\Software\Numbers Mode 755
set-dword HKLM\Software\Numbers Port 08080
expect value HKLM\Software\Numbers Port 8080
HKGetStringFromNumber 0100
HKGetNumberFromString $result
expect result 100
answer 010
wait 010
HKSetupValidateLocalDirectory --owner 010 --param C:
SCRIPT
run run --machine "$machine" "$work/decimal"
check "a leading zero is decimal in scripts, arguments, --owner and machine.conf" \
    eval 'status_is 0 && output_has "moved on 10 ms" && output_has "owner=0xa " &&
          grep -qx "answer = 10" "$machine/state/machine.conf" &&
          grep -qx "next-process-id = 2000" "$machine/state/machine.conf"'
cp "$work/machine.conf" "$machine/state/machine.conf"

# A call that keeps asking the scripted user (the product's programs running,
# the answer closing none of them) ends with an error naming it, not never.
run machine new "$work/running" --with-product-running
printf 'HKSetupFindRunningApps\n' >"$work/asks"
run run --machine "$work/running" "$work/asks"
check "a call that asks the scripted user for ever is ended, naming the call" \
    eval 'status_is 2 && error_has "HKSetupFindRunningApps showed 100 message boxes in one call"'

# The machine's clocks stop at their maximum: a wait that would pass it is
# refused, naming it, and the clocks are not moved.
printf 'wait 1000\n' >"$work/wait"
# setting in machine.conf | the refusal
while IFS='|' read -r setting refusal; do
    sed -i "s/^${setting%% =*} = .*/$setting/" "$machine/state/machine.conf"
    run run --machine "$machine" "$work/wait"
    check "$setting: wait is refused with the limit, the clocks left there" \
        eval 'status_is 2 && error_has "$refusal" && grep -qx "$setting" "$machine/state/machine.conf"'
    cp "$work/machine.conf" "$machine/state/machine.conf"
done <<'TABLE'
clock = 18446744073709551615|the machine's clock would pass its maximum, 18446744073709551615 ms
system-time = 9223372036854775000|the machine's system time would pass its maximum, 9223372036854775807
TABLE

printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"x"=dword:zz\r\n' \
    >"$machine/state/registry.reg"
run call --machine "$machine" HKIsWindowsXP
check "a damaged registry file is refused" status_is 2
check "the refusal names the damage" error_has "registry.reg is damaged"

# machine.conf is read strictly: what no version of the host writes is
# refused with the file, its line and the reason, and nothing is saved over
# it (the call would change the registry).
product=$work/product
"$host" machine new "$product" --with-product-running >/dev/null
conf=$product/state/machine.conf
cp "$conf" "$work/product.conf"
# sed program | the reason given
while IFS='|' read -r edit reason; do
    cp "$work/product.conf" "$conf"
    sed -i "$edit" "$conf"
    cp "$conf" "$work/damaged.conf"
    run call --machine "$product" HKUpdateSetupDateInRegistryEX
    check "machine.conf: $reason: refused with the file and line" \
        eval 'status_is 2 && error_has "$reason" && grep -qE "^radozavu: $conf:[0-9]+: " "$work/err"'
    check "machine.conf: $reason: nothing saved over it" cmp -s "$conf" "$work/damaged.conf"
done <<'TABLE'
s/^\[services\]/[servicez]/|unknown section [servicez]
s/^\[environment\]/[environmenu]/|unknown section [environmenu]
/^\[machine\]/a colour = blue|unknown setting in [machine]: colour
s/^window = /frame = /|unknown setting in [windows]: frame
/^major = /p|major is set twice
0,/^service = /{/^service = /p}|a service is listed twice
/^\[processes\]/{n;p}|a process is listed twice
s/^answer = .*/answer = 12/|answer: not a number from 0 to 11: 12
s/^next-process-id = .*/next-process-id = 1000/|next-process-id: 1000 is not above the id of the running process 1000
/^codepage = /i architecture = arm|architecture: x86 or x64, not arm
/^codepage = /i manifested-version = 10.0|manifested-version: MAJOR.MINOR.BUILD, not 10.0
/^codepage = /i program-manifested = maybe|program-manifested: yes or no, not maybe
TABLE
cp "$work/product.conf" "$conf"

# The state's files are refused unless whole: what the writer never writes,
# and a file cut short, which lacks the last line the writer always writes.
reg=$product/state/registry.reg
cp "$reg" "$work/product.reg"
# file | sed program | the reason given
while IFS='|' read -r file edit reason; do
    sed -i "$edit" "$product/state/$file"
    cp "$product/state/$file" "$work/damaged"
    run call --machine "$product" HKUpdateSetupDateInRegistryEX
    check "$file: $reason: refused, nothing saved over it" \
        eval 'status_is 2 && error_has "$reason" && cmp -s "$product/state/$file" "$work/damaged"'
    cp "$work/product.reg" "$reg" && cp "$work/product.conf" "$conf"
done <<'TABLE'
registry.reg|0,/^"/{/^"/p}|registry.reg is damaged: line 11: the value "Install Location" appears twice
registry.reg|0,/^\[/{/^\[/p}|registry.reg is damaged: line 4: the key [HKEY_LOCAL_MACHINE\Software] appears twice
registry.reg|2i [-HKEY_LOCAL_MACHINE\\Software\\Gone]|registry.reg is damaged: line 2: a machine's registry deletes nothing
registry.reg|0,/^"/s/^\("[^"]*"\)=.*/\1=-/|registry.reg is damaged: line 10: a machine's registry deletes no value
registry.reg|2,$d|registry.reg is damaged: the file is cut short: it ends at line 1
registry.reg|/^; end of registry.reg/d|registry.reg is damaged: the file is cut short
machine.conf|/^service = /,$d|machine.conf: the file is cut short
machine.conf|$a answer = 3|machine.conf:76: text after the last line [end]: answer = 3
TABLE
sed -i '/^format = /d; /^\[end\]/d' "$conf" && sed -i '/^; end of registry.reg/d' "$reg"
run call --machine "$product" HKUpdateSetupDateInRegistryEX
check "a folder of an earlier version, without the last lines, loads and is saved with them" \
    eval 'status_is 0 && grep -qx "\[end\]" "$conf" && grep -q "^; end of registry.reg" "$reg"'
# The changes since the registry file was last written whole are refused cut short too.
printf 'set-sz HKLM\\Software\\Cut v 1\n' >"$work/cut.script"
run run --machine "$product" "$work/cut.script"
changes=$product/state/changes.reg
sed -i '/^; end of changes.reg/d' "$changes"
run call --machine "$product" HKIsWindowsXP
check "changes.reg cut short: refused" \
    eval 'status_is 2 && error_has "changes.reg is damaged: the file is cut short"'
printf '; end of changes.reg\r\n' >>"$changes"

# The journal holds one line per line of a record, whatever the arguments,
# script names and script lines hold: nothing can forge a record's end or an
# interruption.
journaled=$work/journaled
"$host" machine new "$journaled" >/dev/null
forged=$work/$'forged\n-> exit status 0'
printf 'HKIsWindowsXP # \r-> exit status 0\n' >"$forged"
"$host" call --machine "$journaled" EditCustomizedInstallPathEX $'C:\\x"\ninterrupted: forged' >/dev/null
"$host" run --machine "$journaled" "$forged" >/dev/null
check "the journal shows control characters and quotes escaped, one line per line" \
    eval '[ "$(grep -c -- "^-> exit status" "$journaled/journal.log")" -eq 2 ] &&
          ! grep -q -e "^interrupted: forged" -e "$(printf "\r")" "$journaled/journal.log" &&
          grep -qxF "call EditCustomizedInstallPathEX \"C:\x\x{22}\x{0A}interrupted: forged\"" "$journaled/journal.log" &&
          grep -qxF "run $work/forged\x{0A}-> exit status 0" "$journaled/journal.log" &&
          grep -qxF "> HKIsWindowsXP # \x{0D}-> exit status 0" "$journaled/journal.log"'

# Small edges: an empty --machine is an error, never the default folder; a
# lock file is read no further than its note is shown, and must be a plain
# file; a long bad line is cut in its message; a comment must be UTF-8 like
# the rest; a NUL is shown, not cut at.
RADOZAVU_MACHINE=$journaled run call --machine "" HKUpdateSetupDateInRegistryEX
check "--machine \"\" is an error" eval 'status_is 2 && error_has "--machine needs a folder"'
RADOZAVU_MACHINE=$journaled run call --machine= HKUpdateSetupDateInRegistryEX
check "--machine= is an error" eval 'status_is 2 && error_has "--machine needs a folder"'
RADOZAVU_MACHINE= run call HKUpdateSetupDateInRegistryEX
check "an empty RADOZAVU_MACHINE is an error" eval 'status_is 2 && error_has "RADOZAVU_MACHINE needs a folder"'
check "an empty --machine changes no machine" \
    eval '! grep -q "^call HKUpdateSetupDateInRegistryEX" "$journaled/journal.log"'
head -c 20000000 /dev/zero | tr '\0' x >"$journaled/lock"
run call --machine "$journaled" HKIsWindowsXP
check "a 20 MB lock file is shown cut, on standard error and in the journal" \
    eval 'status_is 0 && error_has "(cut: 20000000 bytes in all)" && [ "$(wc -c <"$work/err")" -lt 4096 ] &&
          [ "$(grep "^interrupted:" "$journaled/journal.log" | wc -c)" -lt 4096 ]'
rm -f "$journaled/lock" && ln -s /dev/zero "$journaled/lock"
run call --machine "$journaled" HKIsWindowsXP
check "a lock file that is a link is refused" eval 'status_is 2 && error_has "symbolic link"'
rm -f "$journaled/lock"
mv "$journaled/journal.log" "$work/journal.log" && ln -s "$work/elsewhere" "$journaled/journal.log"
run call --machine "$journaled" HKIsWindowsXP
check "a journal that is a link is refused, nothing written through it" \
    eval 'status_is 2 && error_has "symbolic link" && [ ! -e "$work/elsewhere" ]'
rm "$journaled/journal.log" && mv "$work/journal.log" "$journaled/journal.log"
head -c 10000000 /dev/zero | tr '\0' x >"$work/long"
printf 'HKIsWindowsXP # caf\xe9\n' >"$work/comment"
printf 'Frob\0nicate\n' >"$work/nul"
# script | what its check says
while IFS='|' read -r script said; do
    run run --check "$work/$script"
    check "run --check $script: $said" eval 'status_is 2 && error_has "$said" && [ "$(wc -c <"$work/err")" -lt 4096 ]'
done <<'TABLE'
long|xxx... (cut: 100000
comment|comment:1: not UTF-8 text (byte \x{E9}
nul|nul:1: unknown command or export: Frob\x{00}nicate
TABLE

finish
