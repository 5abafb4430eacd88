# Sourced by the scripts that run programs under Wine: a fresh 32-bit prefix
# in a scratch folder ($work), made and idle, whose Wine processes are ended
# (wineserver -k) and which is removed when the script exits.
work=$(mktemp -d /tmp/radozavu-wine-XXXXXX)
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
wineserver -w
