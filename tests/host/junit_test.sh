#!/usr/bin/env bash
# run --junit: the three examples in one command report a suite each with
# every expectation (junit_check.py); a failing script whose name and lines
# hold hostile text (control characters, quotes, "]]>", bytes that are no
# UTF-8) still gives a well-formed report with its failure, and the
# expectations the failure left are skipped; a script refused by its check is
# reported too.
set -uo pipefail
host=$1
examples=$2
here=$(dirname "$0")
source "$here/checks.sh"

"$host" machine new "$work/machine" --with-product-running >/dev/null
scripts=("$examples/install.script" "$examples/upgrade.script" "$examples/removal.script")
run run --machine "$work/machine" --junit "$work/examples.xml" "${scripts[@]}"
check "the three examples run in one command" status_is 0
check "the report lists every expectation of each example" \
    python3 "$here/junit_check.py" "$work/examples.xml" "$work/out" "${scripts[@]}"

printf 'bogus\n' >"$work/refused.script"
run run --machine "$work/machine" --junit "$work/refused.xml" "$work/refused.script" "${scripts[2]}"
check "a refused script is reported with its problem, the other's expectations skipped" \
    python3 -c 'import sys, xml.etree.ElementTree as ET
refused, other = ET.parse(sys.argv[1]).getroot().findall("testsuite")
assert "unknown command or export: bogus" in refused.find("testcase/error").text
assert 0 < len(other.findall("testcase/skipped")) == int(other.get("tests"))' "$work/refused.xml"

hostile=$work/$'hostile \x01\t\r\n"]]><&\xff\xc3.script'
printf '%s\n' 'set-sz HKLM\Software\T V x' \
    $'expect value HKLM\\Software\\T V x   # \x1b]]>' \
    $'expect value HKLM\\Software\\T V "<&\'\\x{01}]]>"' 'expect key HKLM\Software\T' >"$hostile"
run run --machine "$work/machine" --junit "$work/hostile.xml" "$hostile"
check "the hostile script fails" status_is 1
check "its report is well-formed and tells the failure" python3 - "$work/hostile.xml" <<'PY'
import sys
import xml.etree.ElementTree as ET
suite, = ET.parse(sys.argv[1]).getroot().findall("testsuite")
assert suite.get("name").endswith(r'/hostile \x{01}\x{09}\x{0D}\x{0A}"]]><&\x{FF}\x{C3}.script')
held, failed, left = suite.findall("testcase")
assert held.get("name").endswith(r"# \x{1B}]]>") and len(held.findall("*")) == 1
assert failed.find("failure").get("message") == \
    r'''expectation failed: HKLM\Software\T "V" is "<&'\x{01}]]>" (got: "x")'''
assert left.find("skipped").get("message") == "not run: the script stopped at line 3"
PY

# The report never takes the place of an input or of the machine's own
# files, and one that cannot be written says why; what it was given stays.
printf 'HKIsWindowsXP\n' >"$work/query.script"
# the report's file | the refusal
while IFS='|' read -r report refusal; do
    before=$(cat "$work/$report" 2>/dev/null)
    run run --machine "$work/machine" --junit "$work/$report" "$work/query.script"
    check "--junit $report: refused, saying why, the file left as it was" \
        eval 'status_is 2 && error_has "$refusal" && [ "$(cat "$work/$report" 2>/dev/null)" = "$before" ]'
done <<'TABLE'
query.script|an input of the command: the report would replace it
machine/state/registry.reg|is a file of the machine folder
machine/journal.log|is a file of the machine folder
nofolder/report.xml|cannot write the JUnit report
TABLE
finish
