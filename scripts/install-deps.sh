#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# Debian machine lacks. Runs as root; does nothing when all is there.
set -euo pipefail

packages=(cmake g++ make zlib1g-dev googletest libgtest-dev
          g++-mingw-w64-i686-posix libz-mingw-w64-dev wine wine32:i386 xvfb xauth)
# The locale sources from which the logging tests build a German locale.
packages+=(locales)
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
