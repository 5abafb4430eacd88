#!/usr/bin/env bash
# Builds RADOZAVU.DLL, radozavu.exe and the release ZIP a second time, in a
# folder of their own and without the compiler cache, and compares them byte
# for byte with those of the windows-x86 build folder (README, "Releases").
# The first folder is brought up to date first (nothing to do after a
# build); the second build's output is kept in its folder's rebuild.log.
#   scripts/rebuild-compare.sh [FIRST-BUILD-FOLDER [SECOND-BUILD-FOLDER]]
set -euo pipefail
cd "$(dirname "$0")/.."
first=$(realpath "${1:-build/windows-x86}")
second=$(realpath -m "${2:-build/windows-x86-rebuild}")
[ -f "$first/CMakeCache.txt" ] || { echo "no $first: configure windows-x86 first" >&2; exit 1; }
work=$(mktemp -d /tmp/radozavu-rebuild-XXXXXX)
trap 'rm -rf "$work"' EXIT
# An unsigned package, built from scratch.
unset RADOZAVU_SIGN_PKCS12 RADOZAVU_SIGN_PASSWORD_FILE RADOZAVU_TIMESTAMP_URL
export CCACHE_DISABLE=1

cmake --build "$first" --target radozavu radozavu_host import_libraries >/dev/null
rm -rf "$second"
mkdir -p "$second"
log=$second/rebuild.log
if ! { cmake --preset windows-x86 -B "$second" &&
       cmake --build "$second" --target radozavu radozavu_host import_libraries; } >"$log" 2>&1; then
    cat "$log"
    exit 1
fi
package=RADOZAVU-5.1.0.55-win32.zip
for tree in first second; do
    cpack -G ZIP --config "${!tree}/CPackConfig.cmake" -B "$work/$tree" >/dev/null
done

status=0
for file in RADOZAVU.DLL radozavu.exe $package; do
    a=$first/$file
    b=$second/$file
    if [ "$file" = $package ]; then
        a=$work/first/$file
        b=$work/second/$file
    fi
    hash=$(sha256sum <"$a" | cut -d' ' -f1)
    if cmp -s "$a" "$b"; then
        echo "identical  $hash  $file"
    else
        echo "DIFFERENT  $file: $(cmp "$a" "$b" 2>&1 | head -1)"
        status=1
    fi
done
exit $status
