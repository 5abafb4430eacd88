#!/usr/bin/env bash
# A real computer's state brought into a machine folder and taken out:
# machine import (a "Version 5.00" UTF-16 export as a 64-bit registry editor
# imports it, WOW6432Node the 32-bit view; a file that does not parse refused
# with its line, nothing changed), kept as changes over the registry file
# that read back as the registry read whole, machine export (read back the
# same), and machine put (a folder tree onto a drive; a link in it refused,
# nothing copied).
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

machine=$work/machine
"$host" machine new "$machine" --windows 11 >/dev/null
utf16() { { printf '\xff\xfe'; printf "$1" | iconv -f UTF-8 -t UTF-16LE; } >"$2"; }
utf16 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Brevanta\\Quillane\\Current Version]\r\n"ProductName"="Quillane \xc3\xa9"\r\n"Port"=dword:0000002a\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta64]\r\n"Kind"="64-bit"\r\n' "$work/customer.reg"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n"a"="no end\r\n' >"$work/broken.reg"

registry_state "$machine" >"$work/registry.before"
run machine import "$machine" "$work/customer.reg" "$work/broken.reg"
check "a file that does not parse: exit status 2" status_is 2
check "a file that does not parse: named with its line" error_has "broken.reg: line 4: "
check "a file that does not parse: nothing changed" eval 'registry_state "$machine" | cmp -s "$work/registry.before" -'

run machine import "$machine" "$work/customer.reg"
check "import: done" status_is 0
# what the 32-bit installer sees | the value | its text
while IFS='|' read -r key name text; do
    printf 'expect value "%s" %s "%s"\n' "$key" "$name" "$text" >"$work/expect.script"
    run run --machine "$machine" "$work/expect.script"
    check "import: $key $name" status_is 0
done <<TABLE
HKLM\\Software\\Brevanta\\Quillane\\Current Version|ProductName|Quillane é
HKLM\\Software\\Brevanta\\Quillane\\Current Version|Port|42
HKLM64\\Software\\Brevanta64|Kind|64-bit
TABLE

# The registry read a key at a time through its index, with the changes of
# the imports over it (a key and a value deleted among them), is the
# registry read whole.
printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Brevanta64]\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Brevanta\\Quillane\\Current Version]\r\n"Port"=-\r\n' >"$work/deletions.reg"
"$host" machine import "$machine" "$work/deletions.reg" >/dev/null
check "import: a key and a value deleted" test -s "$machine/state/changes.reg"
"$host" machine export "$machine" "$work/indexed.reg" >/dev/null
mv "$machine/state/registry.idx" "$work/registry.idx"
"$host" machine export "$machine" "$work/whole.reg" >/dev/null
check "the registry read through its index is the registry read whole" cmp -s "$work/indexed.reg" "$work/whole.reg"
check "... and holds the deletions" eval '! grep -q "Brevanta64\|\"Port\"" "$work/whole.reg"'
mv "$work/registry.idx" "$machine/state/registry.idx"

run machine export "$machine" "$work/export.reg" 'HKLM\SOFTWARE\WOW6432Node\Brevanta'
check "export: done" status_is 0
"$host" machine new "$work/other" --windows 11 >/dev/null
run machine import "$work/other" "$work/export.reg"
"$host" machine export "$work/other" "$work/again.reg" 'HKLM\SOFTWARE\WOW6432Node\Brevanta' >/dev/null
check "export: imported elsewhere, exported the same" cmp -s "$work/export.reg" "$work/again.reg"

mkdir -p "$work/product/Data"
echo settings >"$work/product/Data/QLNQUILL.INI"
run machine put "$machine" "$work/product" 'C:\Program Files (x86)\Brevanta\Quillane'
check "put: the tree copied" cmp -s "$work/product/Data/QLNQUILL.INI" \
    "$machine/drives/C/Program Files (x86)/Brevanta/Quillane/Data/QLNQUILL.INI"
ln -s /etc/hostname "$work/product/link"
run machine put "$machine" "$work/product" 'C:\Other'
check "put: a link refused" error_has "not a plain file or folder, nothing was copied"
check "put: nothing copied" test ! -e "$machine/drives/C/Other"
finish
