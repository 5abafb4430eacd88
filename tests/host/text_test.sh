#!/usr/bin/env bash
# Text through the host: UTF-8 scripts and command lines converted to the
# machine's ANSI code page (1252 and 932) and back for the transcript, a
# character the code page lacks refused by line, \x{NN} for exact bytes, and
# machine.conf keeping any bytes across a save.
set -uo pipefail
host=$1
source "$(dirname "$0")/checks.sh"

# code page | text | a character the code page lacks
while IFS='|' read -r codepage text missing; do
    machine=$work/cp$codepage
    "$host" machine new "$machine" --codepage "$codepage" >/dev/null
    cat >"$work/script" <<SCRIPT
set-sz HKLM\\Software\\Test Folder "C:\\Programme\\$text"
write C:\\Setup\\QLNSETUP.INI <<END
[Configuration]
ProgramGroup=$text
END
GetProgramGroup C:\\Setup\\
expect result "$text"
SCRIPT
    run run --machine "$machine" "$work/script"
    check "$codepage: a UTF-8 script round-trips through the code page" status_is 0
    check "$codepage: the transcript shows the result in UTF-8" output_has "GetProgramGroup -> $text"
    printf '[Configuration]\r\nProgramGroup=%s\r\n' "$text" | iconv -f UTF-8 -t "CP$codepage" \
        >"$work/expected.ini"
    check "$codepage: the machine's file holds the code page's bytes" \
        cmp -s "$work/expected.ini" "$machine/drives/C/Setup/QLNSETUP.INI"
    printf 'expect value HKLM\\Software\\Test Folder "C:\\Programme\\%s"\n' "$text" >"$work/again"
    run run --machine "$machine" "$work/again"
    check "$codepage: a value stored from UTF-8 reads back after a save" status_is 0
    run call --machine "$machine" EditCustomizedInstallPathEX "C:\\Programme\\$text"
    check "$codepage: command-line text is converted too" output_has "EditCustomizedInstallPathEX -> C:\\"
    printf 'HKIsWindowsXP\nset-sz HKLM\\Software\\Test Missing "a%sb"\n' "$missing" >"$work/missing"
    run run --machine "$machine" "$work/missing"
    check "$codepage: a character the code page lacks is refused, naming the line" \
        eval 'status_is 2 && error_has "missing:2: the character $missing" &&
              error_has "is not in code page $codepage"'
done <<'TABLE'
1252|Café Ünïcödé|日
932|日本語フォルダ|é
TABLE

# \x{NN} passes exact bytes, and shows bytes that are no character the same
# way: 0x81 is none in 1252, nor is a lone lead byte before a blank in 932.
for codepage in 1252 932; do
    machine=$work/cp$codepage
    printf 'write C:\\Setup\\QLNSETUP.INI <<END\n[Configuration]\nProgramGroup=\\x{81} \\x{5C}x{41}\nEND\nGetProgramGroup C:\\Setup\\\n' >"$work/raw"
    run run --machine "$machine" "$work/raw"
    check "$codepage: \\x{NN} passes exact bytes and shows them back" \
        eval 'output_has "GetProgramGroup -> \x{81} \x{5C}x{41}" &&
              grep -q "=$(printf "\x81") \\\\x{41}" "$machine/drives/C/Setup/QLNSETUP.INI"'
done
run run --check "$work/missing"
check "without a machine, --check still checks the escapes and UTF-8" status_is 0
printf 'set-sz HKLM\\Software\\Test Bad "\\x{8}"\n' >"$work/malformed"
run run --check "$work/malformed"
check "a malformed escape is refused" error_has 'malformed:1: malformed escape \x{8} ('
printf 'set-sz HKLM\\Software\\Test Bad "\xff"\n' >"$work/latin1"
run run --check "$work/latin1"
check "text that is not UTF-8 is refused" error_has "latin1:1: not UTF-8 text (byte \\x{FF}"

# machine.conf keeps any bytes: escaped separators, controls, a byte pair
# that is no round-trip character of 932 and a literal "\x{" survive a save.
machine=$work/cp932
sed -i -e 's/^USERNAME = .*/USERNAME = \\x{20}日本\\x{7C}|,=\\x{5C}x{41}\\x{09}\\x{20}/' \
    -e 's/^TEMP = .*/TEMP = C:\\x{ED}@\\x{0A}/' "$machine/state/machine.conf"
printf 'wait 1\n' >"$work/wait"
"$host" run --machine "$machine" "$work/wait" >/dev/null
check "machine.conf text survives a save, its list separators escaped" \
    eval 'grep -qxF "USERNAME = \x{20}日本\x{7C}\x{7C}\x{2C}\x{3D}\x{5C}x{41}\x{09}\x{20}" "$machine/state/machine.conf" &&
          grep -qxF "TEMP = C:\x{ED}@\x{0A}" "$machine/state/machine.conf"'
# A machine.conf of the earlier version holds the code page's bytes as they
# are (no "text = utf-8"); it loads, and is written in UTF-8 at the next save.
machine=$work/cp1252
sed -i -e '/^text = utf-8$/d' -e 's/^USERNAME = .*/USERNAME = Caf\xe9 \\x{41}/' "$machine/state/machine.conf"
"$host" run --machine "$machine" "$work/wait" >/dev/null
check "an earlier machine.conf loads with its bytes as they are" \
    grep -qxF 'USERNAME = Café \x{5C}x{41}' "$machine/state/machine.conf"

finish
