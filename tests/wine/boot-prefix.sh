#!/usr/bin/env bash
# Makes a new Wine prefix with wineboot and waits for its server to end.
#   boot-prefix.sh PREFIX win32|win64
# win32: a 32-bit Windows, as the Wine tests have always had it (Wine reports
# Windows 7 unless a test says otherwise). win64: a 64-bit Windows told to
# report Windows 10, on which the 32-bit programs run under WoW64 as they do
# on today's computers.
set -euo pipefail
prefix=$1
arch=$2
case "$arch" in
    win32 | win64) ;;
    *) echo "boot-prefix.sh: unknown prefix kind '$arch' (win32 or win64)" >&2; exit 2 ;;
esac
export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
if [ "$arch" = win64 ]; then
    wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1
fi
wineserver -w
