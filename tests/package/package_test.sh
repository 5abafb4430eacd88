#!/usr/bin/env bash
# The release package on its own: made with cpack from the windows-x86 build
# and signed with a throwaway certificate, unpacked in a fresh folder; its
# signatures verified, and removed to give back the build's own bytes; then
# used from there alone to build the C example (against each import library)
# and the example installer, which run under Wine in one fresh prefix, and the
# all-exports installers around its signed DLL, in another.
#   package_test.sh BUILD-FOLDER C-COMPILER
set -euo pipefail
build=$1
compiler=$2
here=$(cd "$(dirname "$0")" && pwd)
sources=$here/../..
work=$(mktemp -d /tmp/radozavu-package-XXXXXX)
trap 'rm -rf "$work"' EXIT

# A self-signed code-signing certificate, its key in a PKCS#12 file without
# a password; the package is signed without a time stamp (no network here).
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=RADOZAVU package test" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass: \
    -out "$work/signer.p12"
RADOZAVU_SIGN_PKCS12=$work/signer.p12 cpack -G ZIP --config "$build/CPackConfig.cmake" \
    -B "$work/out" >/dev/null
packages=("$work"/out/RADOZAVU-5.1.0.55-win32.zip)
[ -f "${packages[0]}" ] || { echo "no package RADOZAVU-5.1.0.55-win32.zip"; exit 1; }
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "${packages[0]}")
package=$work/unpacked/RADOZAVU-5.1.0.55-win32

grep -q "carry an Authenticode signature" "$package/README.txt" ||
    { echo "README.txt does not say the package is signed"; exit 1; }
"$sources/scripts/check-binaries.py" --signed "$package/bin/RADOZAVU.DLL" "$package/bin/radozavu.exe"
for binary in RADOZAVU.DLL radozavu.exe; do
    osslsigncode verify -CAfile "$work/cert.pem" -in "$package/bin/$binary" >"$work/verify.txt" ||
        { cat "$work/verify.txt"; exit 1; }
    osslsigncode remove-signature -in "$package/bin/$binary" -out "$work/$binary" >/dev/null
    cmp "$work/$binary" "$build/$binary" ||
        { echo "$binary without its signature differs from the build's"; exit 1; }
done

run=$work/run
mkdir "$run"
cp "$package/bin/RADOZAVU.DLL" "$package/bin/radozavu.exe" "$run/"
"$compiler" -Wall -Wextra -Werror -I"$package/include" "$package/examples/c/radozavu_example.c" \
    -L"$package/lib" -lradozavu -static-libgcc -o "$run/example-mingw.exe"
"$compiler" -Wall -Wextra -Werror -I"$package/include" "$package/examples/c/radozavu_example.c" \
    "$package/lib/RADOZAVU.lib" -static-libgcc -o "$run/example-msvc-lib.exe"
makensis -V2 -WX "-X!addincludedir $package/nsis" "-DOUTFILE=$run/quillane-setup.exe" \
    "$package/examples/nsis/quillane-setup.nsi"
cp "$package/examples/nsis/QLNSETUP.INI" "$run/"

# The three programs and the host, one after another in one prefix; the
# batch file's exit code is the first failure's.
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
rem The signed host (NO_SEH, like the DLL) throws the unknown export's usage
rem error and catches it: exit status 2, not a crash.
radozavu.exe call NoSuchExport 2>nul
if not errorlevel 2 exit /b 15
if errorlevel 3 exit /b 16
exit /b 0
BATCH
"$here/../wine/run-under-wine.sh" cmd /c "Z:${run//\//\\}\\run.bat"

# The all-exports installers (Unicode and ANSI) around the signed DLL, run by
# their check in a prefix of their own.
checks=$work/all-exports
mkdir "$checks"
cp "$build/radozavu_nsis_check.exe" "$checks/"
for unicode in true false; do
    makensis -V2 -WX "-X!addincludedir $package/nsis" "-DRADOZAVU_DLL=$package/bin/RADOZAVU.DLL" \
        -DUNICODE_SCRIPT=$unicode "-DOUTFILE=$checks/all-exports-unicode-$unicode.exe" \
        "$sources/tests/wine/nsis/all_exports.nsi"
done
"$here/../wine/run-under-wine.sh" "$checks/radozavu_nsis_check.exe" \
    --gtest_filter='WineNsisAllExports.*'
