#!/usr/bin/env bash
# Makes the template Wine prefix that fresh-prefix.sh copies, once: a fresh
# prefix of the kind asked for made by boot-prefix.sh, its server ended.
# Tests started together wait for the one that makes it (a lock of the
# template's own, so the two kinds are made side by side), and a template
# made by another Wine version is made again. The template is only ever
# copied, never run.
#   prefix-template.sh FOLDER win32|win64
set -euo pipefail
template=$1
arch=$2
mkdir -p "$(dirname "$template")"
# Opened without truncating it, so that waiting leaves the file as it was:
# a test that watches the build folder sees no change of it.
exec 9<>"$template.lock"
flock 9
version=$(wine --version)
if [ -f "$template/wine-version" ] && [ "$(cat "$template/wine-version")" = "$version" ]; then
    exit 0
fi
rm -rf "$template"
making=$(mktemp -d "$template.making-XXXXXX")
trap 'WINEPREFIX=$making/prefix wineserver -k >/dev/null 2>&1 || true; rm -rf "$making"' EXIT
"$(dirname "${BASH_SOURCE[0]}")/boot-prefix.sh" "$making/prefix" "$arch"
echo "$version" >"$making/wine-version"
mv "$making" "$template"
