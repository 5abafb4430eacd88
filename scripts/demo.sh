#!/usr/bin/env bash
# The main job: rehearses the installation, an upgrade and the removal of
# Quillane with the library, on an emulated Windows XP machine whose copy of
# the product runs, and prints what every call did to the machine; then the
# installation on Windows 11 x64, where the 32-bit installer runs under
# WOW64, and the lines of its transcript that differ from XP's; last the
# three examples on XP, 7, 10 and 11 in one command, with a report to look at.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh linux
# The host users run is optimised; the default (Debug) and sanitize trees
# are the tests'.
cmake --preset optimised >/dev/null
cmake --build --preset optimised --target radozavu_host >/dev/null

work=$(mktemp -d /tmp/radozavu-demo-XXXXXX)
trap 'rm -rf "$work"' EXIT
host=build/optimised/radozavu

echo "== A Windows XP machine with Quillane installed and running"
"$host" machine new "$work/machine" --with-product-running
for script in install upgrade removal; do
    echo
    echo "== examples/$script.script"
    "$host" run --machine "$work/machine" "examples/$script.script" | tee "$work/$script.xp"
done
echo
echo "== Every expectation of the install, upgrade and removal was met."

echo
echo "== A Windows 11 x64 machine with Quillane installed and running"
"$host" machine new "$work/windows-11" --windows 11 --with-product-running
echo
echo "== examples/windows-11/install.script"
"$host" run --machine "$work/windows-11" examples/windows-11/install.script >"$work/install.11"
cat "$work/install.11"
echo
echo "== The install's lines that differ: XP (<) and Windows 11 x64 (>), docs/todays-windows.md"
diff "$work/install.xp" "$work/install.11" | grep '^[<>]' || true

echo
echo "== The examples on Windows XP, 7, 10 and 11 at once: a machine of each, side by side"
report=$PWD/build/optimised/matrix-report.html
editions=$PWD/build/optimised/matrix-editions
rm -rf "$editions"
status=0
"$host" run --windows xp,7,10,11 --with-product-running --fold-folders --editions "$editions" \
    --report html="$report" examples/install.script examples/upgrade.script \
    examples/removal.script || status=$?
echo
echo "== Exit status $status: the examples are written for XP (its install folder and provider"
echo "== order); the table and the differences show where each later Windows parts from it."
echo "== The report to look at: $report"
