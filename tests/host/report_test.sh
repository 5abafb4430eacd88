#!/usr/bin/env bash
# run --windows and --report html: the three examples on every edition of XP,
# 7, 10 and 11 in one command; the table, the differences and the HTML page,
# as headless Chromium builds it, agree with each edition's own journal and
# transcript (report_check.py); a copied machine is told the edition's
# version; what a script says shows as text in the page, never as markup. The
# page's first screen is kept as a picture (ARTEFACT).
set -uo pipefail
host=$1
examples=$2
artefact=$3
. "$(dirname "$0")/checks.sh"
command -v chromium >/dev/null || { echo "chromium is missing (scripts/install-deps.sh)"; exit 1; }

# Chromium headless with a profile and home of its own (as root it needs
# --no-sandbox); WHAT is --dump-dom or --screenshot=FILE.
browse() {
    HOME="$work/browser" timeout 120 chromium --headless --no-sandbox --disable-gpu \
        --user-data-dir="$work/browser/profile" --window-size=1280,900 "$1" "file://$2" \
        2>"$work/browser.log"
}
mkdir -p "$work/browser"

cd "$examples/.."
scripts=(examples/install.script examples/upgrade.script examples/removal.script)
run run --windows xp,7,10,11 --arch x86,x64 --with-product-running --editions "$work/editions" \
    --junit "$work/report.xml" --report html="$work/report.html" "${scripts[@]}"
check "the worst status is the examples' failures on today's Windows (1)" status_is 1
check "an edition that never existed is a note" \
    output_has "(skipped: no x86 machine of Windows 11: Windows 11 is 64-bit only)"
check "a failure names its edition" \
    error_has "7-x64: examples/install.script:37: expectation failed"
check "each edition's machine, journal and transcript are kept" \
    test -s "$work/editions/11-x64/journal.log" -a -s "$work/editions/11-x64.txt"
check "JUnit: a suite per script and edition" \
    test "$(grep -c '<testsuite name="examples/[a-z]*.script on [0-9a-z]*-x[0-9]*"' "$work/report.xml")" -eq 21
browse --dump-dom "$work/report.html" >"$work/dom.html"
check "the table, the page and the differences agree with the editions' own records" \
    python3 "$(dirname "$0")/report_check.py" "$work/editions" "$work/out" "$work/dom.html" \
    "${scripts[@]}"
mkdir -p "$(dirname "$artefact")"
check "the page's first screen is kept" \
    eval 'test -s "$work/report.html" && browse --screenshot="$artefact" "$work/report.html"'

# A copy of a given machine is told each edition's version; the machine
# itself is left as it was.
"$host" machine new "$work/given" >/dev/null
cp "$work/given/state/machine.conf" "$work/given.conf"
run run --machine "$work/given" --windows xp,7 --editions "$work/copies" - <<<'HKIsWindowsXP'
check "the copies ran" status_is 0
check "a copy is told its edition's version" grep -qx 'major = 6' "$work/copies/7-x86/state/machine.conf"
check "the given machine is unchanged" cmp -s "$work/given.conf" "$work/given/state/machine.conf"
check "HKIsWindowsXP differs between the copies" output_has "  on 7-x86:"

# A script's text is text in the page, whatever it holds; one machine's run
# writes the page too.
cat >"$work/hostile.script" <<'END'
set-sz HKLM\Software\Test "<script>alert(1)</script>" "]]> & 'quoted' \x{07}"
expect value HKLM\Software\Test "<script>alert(1)</script>" "]]> & 'quoted' \x{07}"
END
run run --machine "$work/given" --report html="$work/hostile.html" "$work/hostile.script"
check "one machine's run writes the page" status_is 0
browse --dump-dom "$work/hostile.html" >"$work/hostile-dom.html"
check "a <script> in a script line is no element of the page" \
    eval 'test -s "$work/hostile.html" && ! grep -q "<script" "$work/hostile-dom.html"'
check "it shows as text" grep -qF '&lt;script&gt;alert(1)&lt;/script&gt;' "$work/hostile-dom.html"
check "]]> and a control character show as text" grep -qF "]]&gt; &amp; 'quoted' \\x{07}" "$work/hostile-dom.html"
finish
