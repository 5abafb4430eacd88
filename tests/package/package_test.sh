#!/usr/bin/env bash
# The release package on its own: made with cpack from the windows-x86 build,
# unpacked in a fresh folder, and used from there alone to build the C example
# (against each import library) and the example installer, which then run
# under Wine in one fresh prefix.
#   package_test.sh BUILD-FOLDER C-COMPILER
set -euo pipefail
build=$1
compiler=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/radozavu-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

cpack -G ZIP --config "$build/CPackConfig.cmake" -B "$work/out" >/dev/null
packages=("$work"/out/RADOZAVU-5.1.0.55-win32.zip)
[ -f "${packages[0]}" ] || { echo "no package RADOZAVU-5.1.0.55-win32.zip"; exit 1; }
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "${packages[0]}")
package=$work/unpacked/RADOZAVU-5.1.0.55-win32

run=$work/run
mkdir "$run"
cp "$package/bin/RADOZAVU.DLL" "$run/"
"$compiler" -Wall -Wextra -Werror -I"$package/include" "$package/examples/c/radozavu_example.c" \
    -L"$package/lib" -lradozavu -static-libgcc -o "$run/example-mingw.exe"
"$compiler" -Wall -Wextra -Werror -I"$package/include" "$package/examples/c/radozavu_example.c" \
    "$package/lib/RADOZAVU.lib" -static-libgcc -o "$run/example-msvc-lib.exe"
makensis -V2 -WX "-X!addincludedir $package/nsis" "-DOUTFILE=$run/quillane-setup.exe" \
    "$package/examples/nsis/quillane-setup.nsi"
cp "$package/examples/nsis/QLNSETUP.INI" "$run/"

# The three programs, one after another in one prefix; the batch file's exit
# code is the first failure's.
cat > "$run/run.bat" <<'BATCH'
@echo off
cd /d %~dp0
example-mingw.exe
if errorlevel 1 exit /b 11
example-msvc-lib.exe
if errorlevel 1 exit /b 12
start /wait quillane-setup.exe /S
if errorlevel 1 exit /b 13
if not exist "C:\Program Files\Brevanta\Quillane\readme.txt.gz" exit /b 14
exit /b 0
BATCH
"$here/../wine/run-under-wine.sh" cmd /c "Z:${run//\//\\}\\run.bat"
