#!/usr/bin/env bash
# Builds both platforms and runs every test: the emulated-machine suites on
# Linux and the real RADOZAVU.DLL under Wine. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== Linux build on the emulated Windows machine"
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default

echo "== RADOZAVU.DLL (mingw-w64 i686) under Wine"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
ctest --preset windows-x86

# Hardening: the Linux suite under the address, undefined-behaviour and leak
# sanitizers, reproducible fuzz runs of every parser and text editor, clang-tidy.
echo "== Linux suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize
echo "== Fuzz targets: each corpus replayed, then a fixed number of runs from a fixed seed"
scripts/fuzz.sh
echo "== clang-tidy"
scripts/tidy.sh
echo "== clang-format"
scripts/format.sh --check
