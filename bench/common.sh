# Shared by the benchmark scripts (sourced, not run).

# The machine the figures come from.
print_machine() {
    echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
         "$(free -g | awk '/^Mem:/ { print $2 }') GiB memory, load average $(cut -d' ' -f1-3 /proc/loadavg)"
}

# Builds the Linux side optimised (-O2) into build/optimised, the preset the
# main job's host is built with too (scripts/demo.sh). GCC 12 gives false
# -Wrestrict warnings on the emulated machine's string code when optimising
# (the other presets build it unoptimised, where they do not appear), so the
# preset switches them off.
build_optimised() {
    cmake --preset optimised >/dev/null
    cmake --build --preset optimised --target "$@"
}

# Builds the optimised host (with any further targets named) and gives a host
# benchmark its host and a fresh work folder of its own: $host and $work.
prepare_host_bench() { # NAME [TARGET ...]
    build_optimised radozavu_host radozavu "${@:2}" >/dev/null
    host=$PWD/build/optimised/radozavu
    work=$PWD/build/optimised/$1
    rm -rf "$work"
    mkdir -p "$work"
}

# Builds the real DLL and the Wine benchmark (the windows-x86 preset).
build_windows() {
    cmake --preset windows-x86 >/dev/null
    cmake --build --preset windows-x86 >/dev/null
}

# The median of the numbers on standard input, one a line (the lower middle
# one of an even count); nothing for no numbers.
median() {
    sort -g | awk '{ t[NR] = $1 } END { if (NR > 0) print t[int((NR + 1) / 2)] }'
}

# A fresh 32-bit Wine prefix of the script's own, its server kept running
# until the script ends; then the server is ended and the prefix removed.
start_wine_prefix() {
    wine_work=$(mktemp -d /tmp/radozavu-wine-bench-XXXXXX)
    export WINEPREFIX=$wine_work/prefix WINEARCH=win32 WINEDEBUG=-all
    trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$wine_work"' EXIT
    wineboot -i >/dev/null 2>&1
    wineserver -w
    wineserver -p
}
