#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# Debian machine lacks. Runs as root; does nothing when all is there.
# With the argument "linux" only what the Linux build on the emulated machine
# needs (the demo); without it everything, the DLL's cross build and Wine too.
set -euo pipefail

# python3: the host's JUnit report is checked with its XML parser.
linux_packages=(cmake ninja-build g++ make zlib1g-dev googletest libgtest-dev python3)
# wine64 beside wine32:i386: the 64-bit prefix in which the 32-bit DLL runs under WoW64.
packages=("${linux_packages[@]}" g++-mingw-w64-i686-posix libz-mingw-w64-dev wine wine32:i386
          wine64 xvfb xauth)
if [ "${1:-}" = linux ]; then
    packages=("${linux_packages[@]}")
fi
# The locale sources from which the logging tests build a German locale.
packages+=(locales)
# The installer engine of the example installer the Wine suite runs.
packages+=(nsis)
# The MSVC-compatible import library of the release package.
packages+=(llvm)
# Hardening and style: clang with libFuzzer and its sanitizers for the fuzz targets,
# clang-tidy and clang-format.
packages+=(clang clang-tidy clang-format libclang-rt-14-dev)
# The benchmarks: Google Benchmark, and the gzip program they compare with.
packages+=(libbenchmark-dev gzip)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
