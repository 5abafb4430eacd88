#!/usr/bin/env bash
# The command-line host's own behaviour: its commands and their errors, the
# change report, script expectations, machine folders saved and loaded, and
# the refusal of a damaged machine folder.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"
# Runs the host; keeps its exit status, standard output and error.
run() {
    "$host" "$@" >"$work/out" 2>"$work/err"
    status=$?
}
output_has() { grep -qF -- "$1" "$work/out"; }
error_has() { grep -qF -- "$1" "$work/err"; }
status_is() { [ "$status" -eq "$1" ]; }
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
    grep -q "Windows Registry Editor Version 5.00" "$machine/state/registry.reg"
check "the machine keeps its version" grep -q "platform = 1" "$machine/state/machine.conf"
run machine new "$machine"
check "a machine is not created over another" status_is 2
run machine new "$work/other" --windows 3.11
check "an unknown Windows version is refused" status_is 2

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

printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"x"=dword:zz\r\n' \
    >"$machine/state/registry.reg"
run call --machine "$machine" HKIsWindowsXP
check "a damaged registry file is refused" status_is 2
check "the refusal names the damage" error_has "registry.reg is damaged"

finish
