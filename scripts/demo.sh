#!/usr/bin/env bash
# The main job: rehearses the installation, an upgrade and the removal of
# Quillane with the library, on an emulated Windows XP machine whose copy of
# the product runs, and prints what every call did to the machine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh linux
cmake --preset default >/dev/null
cmake --build --preset default --target radozavu_host >/dev/null

work=$(mktemp -d /tmp/radozavu-demo-XXXXXX)
trap 'rm -rf "$work"' EXIT
host=build/default/radozavu

echo "== A Windows XP machine with Quillane installed and running"
"$host" machine new "$work/machine" --with-product-running
for script in install upgrade removal; do
    echo
    echo "== examples/$script.script"
    "$host" run --machine "$work/machine" "examples/$script.script"
done
echo
echo "== Every expectation of the install, upgrade and removal was met."
