#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# Debian machine lacks. Runs as root; does nothing when all is there.
# With the argument "linux" only what the default preset (the Linux build on
# the emulated machine, which the demo runs) configures and builds with;
# without it everything: the Linux tests' tools, the DLL's cross build, Wine,
# the release package and the installers the Wine suite builds.
set -euo pipefail

# python3: the host's JUnit report is checked with its XML parser. Google
# Benchmark: the benchmarks build with everything else.
linux_packages=(cmake ninja-build g++ make zlib1g-dev googletest libgtest-dev python3
                libbenchmark-dev)
packages=("${linux_packages[@]}")
if [ "${1:-}" != linux ]; then
    # The DLL's cross build and Wine, with a virtual display for its boxes;
    # wine64 beside wine32:i386 for the 64-bit prefix in which the 32-bit DLL
    # runs under WoW64.
    packages+=(g++-mingw-w64-i686-posix libz-mingw-w64-dev wine wine32:i386 wine64 xvfb xauth)
    # The locale sources from which the logging tests build a German locale.
    packages+=(locales)
    # The installer engine of the example installer the Wine suite runs.
    packages+=(nsis)
    # The MSVC-compatible import library of the release package.
    packages+=(llvm)
    # Hardening and style: clang with libFuzzer and its sanitizers for the fuzz
    # targets, clang-tidy and clang-format.
    packages+=(clang clang-tidy clang-format libclang-rt-14-dev)
    # The gzip program the benchmarks compare with.
    packages+=(gzip)
    # The browser that loads the host's HTML report, headless, in its test.
    packages+=(chromium)
    # strace: the host's tests stop or kill a command at its system calls.
    packages+=(strace)
    # The release: the shipped binaries' check (Debian's python3 with pefile),
    # Authenticode signing and the package test's throwaway certificate.
    packages+=(python3-pefile osslsigncode openssl)
fi

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
