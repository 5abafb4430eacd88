#!/usr/bin/env bash
# Runs a Windows test program under Wine in a fresh 32-bit prefix of its own,
# on a virtual display (message boxes need one), and removes the prefix after.
set -euo pipefail
program=$1
shift
work=$(mktemp -d /tmp/radozavu-wine-XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
wineserver -w
status=0
xvfb-run -a wine "$program" "$@" || status=$?
exit "$status"
