# Sourced by the scripts that run programs under Wine: a fresh prefix in a
# scratch folder ($work), made and idle, whose Wine processes are ended
# (wineserver -k) and which is removed when the script exits. The prefix is
# 32-bit unless RADOZAVU_WINE_ARCH is win64: then a 64-bit Windows 10 on which
# the 32-bit programs run under WoW64 (boot-prefix.sh).
#
# With RADOZAVU_WINE_TEMPLATE set (the windows-x86 test preset sets it), the
# prefix is a copy of a template made once (prefix-template.sh; the 64-bit
# one at the same name with "-win64" added): a copy takes a second where
# wineboot takes ten, and every test still starts from an untouched prefix of
# its own.
work=$(mktemp -d /tmp/radozavu-wine-XXXXXX)
wine_arch=${RADOZAVU_WINE_ARCH:-win32}
export WINEPREFIX=$work/prefix WINEARCH=$wine_arch WINEDEBUG=-all
display_server=""
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$display_server" ]; then
        kill "$display_server" 2>/dev/null || true
        wait "$display_server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
if [ -n "${RADOZAVU_WINE_TEMPLATE:-}" ]; then
    template=$RADOZAVU_WINE_TEMPLATE
    [ "$wine_arch" = win32 ] || template+="-$wine_arch"
    "$(dirname "${BASH_SOURCE[0]}")/prefix-template.sh" "$template" "$wine_arch"
    cp -a "$template/prefix" "$WINEPREFIX"
else
    "$(dirname "${BASH_SOURCE[0]}")/boot-prefix.sh" "$WINEPREFIX" "$wine_arch"
fi

# A virtual display of the script's own for the Wine programs it starts next
# (message boxes need one). Xvfb picks a free display number itself and
# writes it back (-displayfd), so tests started at the same moment never
# race for one.
start_virtual_display() {
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" \
        >"$work/display-server.log" 2>&1 &
    display_server=$!
    local tries=0
    until [ -s "$work/display" ]; do
        if ! kill -0 "$display_server" 2>/dev/null || [ $((tries += 1)) -gt 300 ]; then
            cat "$work/display-server.log" >&2
            echo "the virtual display did not start" >&2
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=":$(head -n 1 "$work/display")"
}
