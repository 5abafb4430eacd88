#!/usr/bin/env bash
# Makes the template Wine prefix that fresh-prefix.sh copies, once: a fresh
# 32-bit prefix made by wineboot, its server ended. Tests started together
# wait for the one that makes it (a lock), and a template made by another
# Wine version is made again. The template is only ever copied, never run.
#   prefix-template.sh FOLDER
set -euo pipefail
template=$1
mkdir -p "$(dirname "$template")"
exec 9>"$template.lock"
flock 9
version=$(wine --version)
if [ -f "$template/wine-version" ] && [ "$(cat "$template/wine-version")" = "$version" ]; then
    exit 0
fi
rm -rf "$template"
making=$(mktemp -d "$template.making-XXXXXX")
trap 'WINEPREFIX=$making/prefix wineserver -k >/dev/null 2>&1 || true; rm -rf "$making"' EXIT
WINEPREFIX=$making/prefix WINEARCH=win32 WINEDEBUG=-all wineboot -i >/dev/null 2>&1
WINEPREFIX=$making/prefix wineserver -w
echo "$version" >"$making/wine-version"
mv "$making" "$template"
