#!/usr/bin/env bash
# The Windows build and its tests, from Linux: cross-builds vornactl.exe, vorna-link.exe and the
# Windows tests with MinGW-w64 in build-win/ (the window against Qt's DLLs for MinGW, unpacked
# into build-win/qt/), makes a fresh Wine prefix in build-win/wine/, and runs under Wine:
#   - the tests that need no pseudo-terminal (ctest -L windows in build-win/),
#   - vornactl.exe end to end against the simulated devices, which run natively and which the
#     prefix reaches through a COM port and a bridge entered in its registry, and the window on
#     a private X server (tests/windows/end-to-end.sh),
#   - the signing step with a throwaway certificate,
#   - the installer, silently, the installed programs, its uninstall entry and the uninstaller.
# It leaves the installer and the portable zip in build-win/ (vorna-link-VERSION-win64.exe and
# .zip). When Wine, MinGW-w64, NSIS or the X server is missing it says it was skipped and why;
# scripts/deps.sh installs them. test.sh calls it after the Linux build, which it uses for the
# simulated devices.
#
# The window's Qt, the first found of:
#   QT_MINGW_ARCHIVE=FILE                 an archive of a Qt for MinGW-w64 (DLLs)
#   ../shared/toolchains/qt6-mingw-shared-6.4.2.tar.xz   (VORNA_SHARED_TOOLCHAINS=DIR for
#                                         another folder than ../shared/toolchains)
#   the cache folder scripts/build-qt-mingw.sh builds into
#                                         (${VORNA_CACHE:-${XDG_CACHE_HOME:-~/.cache}/vorna-link})
# Without any, vornactl.exe alone is built and tested, and there is no installer or zip.
# VORNA_SIGNING_CERT=FILE.p12 (password in VORNA_SIGNING_PASSWORD) signs the programs and the
# installer; without it they are unsigned and the build says so. VORNA_WINDOWS_BUILD=DIR builds
# elsewhere than build-win/.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

missing=()
for tool in wine wineboot wineserver x86_64-w64-mingw32-g++-posix makensis Xvfb openbox zip \
    osslsigncode openssl; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "SKIPPED: the Windows build and its tests under Wine: ${missing[*]} not installed" \
        "(scripts/deps.sh installs them)."
    exit 0
fi

# The simulated devices are the Linux build's.
[ -x build/bin/vornactl ] || bash scripts/build.sh

build="${VORNA_WINDOWS_BUILD:-build-win}"
mkdir -p "$build"
mingw="$PWD/packaging/windows/mingw-w64.cmake"
qt_name=qt6-mingw-shared-6.4.2.tar.xz
shared_archive="${VORNA_SHARED_TOOLCHAINS:-../shared/toolchains}/$qt_name"
cache_tree="${VORNA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorna-link}/qt6-mingw-shared"
qt_archive=""
qt_tree=""
if [ -n "${QT_MINGW_ARCHIVE:-}" ] && [ -f "$QT_MINGW_ARCHIVE" ]; then
    qt_archive="$QT_MINGW_ARCHIVE"
elif [ -n "${QT_MINGW_ARCHIVE:-}" ]; then
    echo "NOTE: QT_MINGW_ARCHIVE=$QT_MINGW_ARCHIVE is not a file; looking further."
fi
if [ -z "$qt_archive" ] && [ -f "$shared_archive" ]; then qt_archive="$shared_archive"; fi
if [ -n "$qt_archive" ]; then
    # Unpacked again only when the archive changed.
    stamp="$(stat -c '%s %Y' "$qt_archive") $(realpath "$qt_archive")"
    if [ "$(cat "$build/qt.stamp" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$build/qt"
        mkdir -p "$build/qt"
        tar -C "$build/qt" -xJf "$qt_archive"
        echo "$stamp" >"$build/qt.stamp"
    fi
    qt_tree="$(dirname "$(dirname "$(dirname "$(dirname \
        "$(find "$build/qt" -path '*/lib/cmake/Qt6/qt.toolchain.cmake' | head -n 1)")")")")"
elif [ -f "$cache_tree/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    qt_tree="$cache_tree"
fi
if [ -n "$qt_tree" ] && [ -f "$qt_tree/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
    qt_tree="$(cd "$qt_tree" && pwd)"
    echo "windows.sh: the window is built against the Qt in $qt_tree"
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="$qt_tree/lib/cmake/Qt6/qt.toolchain.cmake"
               -DQT_CHAINLOAD_TOOLCHAIN_FILE="$mingw" -DVORNA_WITH_GUI=ON)
else
    qt_tree=""
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="$mingw" -DVORNA_WITH_GUI=OFF)
fi
# Another Qt (or none) needs a fresh configuration: CMake keeps the toolchain it began with.
if [ "$(cat "$build/toolchain.stamp" 2>/dev/null)" != "${toolchain[*]}" ]; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
    echo "${toolchain[*]}" >"$build/toolchain.stamp"
fi
signing=(-DVORNA_SIGNING_CERT="${VORNA_SIGNING_CERT:-}")
generator=()
command -v ninja >/dev/null && [ ! -f "$build/Makefile" ] && generator=(-G Ninja)
cmake "${generator[@]}" -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${toolchain[@]}" \
    "${signing[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "windows.sh: built in $((SECONDS - start)) s"

# A fresh prefix for every run, quiet, with UTF-8 between Linux and Windows text.
export WINEPREFIX="$(realpath -m "$build")/wine" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
status=0

(cd "$build" && ctest --output-on-failure -L windows --timeout 600) || status=1

window_test=()
[ -n "$qt_tree" ] && window_test=("$build/tests/windows/test_window.exe")
bash tests/windows/end-to-end.sh build/bin "$build/bin" "$build/end-to-end" "${window_test[@]}" ||
    status=1

check() {
    if "${@:2}"; then echo "ok      $1"; else
        echo "FAILED  $1"
        status=1
    fi
}

# The signing step, as cpack runs it (packaging/windows/Sign.cmake), with a throwaway
# self-signed certificate: the signed program verifies against it and still runs.
signed="$build/signing-check"
rm -rf "$signed"
mkdir -p "$signed"
if openssl req -x509 -newkey rsa:2048 -keyout "$signed/key.pem" -out "$signed/cert.pem" \
    -days 2 -nodes -subj "/CN=VORNA USB Link test signing" >/dev/null 2>&1 &&
    openssl pkcs12 -export -inkey "$signed/key.pem" -in "$signed/cert.pem" \
        -out "$signed/test.p12" -passout pass:throwaway >/dev/null 2>&1; then
    cp "$build/bin/vornactl.exe" "$signed/vornactl.exe"
    cp "$build/bin/vornactl.exe" "$signed/wrong-password.exe"
    # The password travels in a private file in the temporary folder (Debian 12's osslsigncode
    # 2.5 cannot read it from standard input); nothing of it may stay behind.
    mkdir -p "$signed/tmp"
    sign() {
        VORNA_SIGNING_PASSWORD="$1" TMPDIR="$signed/tmp" cmake -DCERTIFICATE="$signed/test.p12" \
            -DFILES="$2" -P packaging/windows/Sign.cmake >/dev/null 2>&1
    }
    sign throwaway "$signed/vornactl.exe" || true
    verified() { osslsigncode verify -CAfile "$signed/cert.pem" -in "$1" >/dev/null 2>&1; }
    check "the signing step signs a program" verified "$signed/vornactl.exe"
    check "the signing step refuses a wrong password" eval '! sign wrong "$signed/wrong-password.exe"'
    check "the signing step leaves no password file behind" \
        [ -z "$(ls -A "$signed/tmp")" ]
    said="$(wine "$signed/vornactl.exe" --version 2>&1 || true)"
    check "the signed vornactl.exe runs" [ "$said" = "$(wine "$build/bin/vornactl.exe" --version 2>&1)" ]
else
    check "a throwaway certificate for the signing step" false
fi

if [ -z "$qt_tree" ]; then
    wineserver -k 2>/dev/null || true
    echo "SKIPPED: the window vorna-link.exe, the installer and the zip: no Qt for MinGW-w64" \
        "($qt_name, found neither as QT_MINGW_ARCHIVE, in ${shared_archive%/*}/ nor in" \
        "$cache_tree); with the Debian packages dpkg-dev cmake ninja-build qt6-base-dev" \
        "qt6-base-dev-tools g++-mingw-w64-x86-64-posix, scripts/build-qt-mingw.sh builds it" \
        "(about 40 minutes)."
    echo "windows.sh: the Windows part took $((SECONDS - start)) s"
    [ "$status" = 0 ] || echo "windows.sh: some Windows tests failed (see above)." >&2
    exit "$status"
fi

# The packages, and the installer as a user runs it: silently, into Program Files, with the
# desktop shortcut; then its uninstall entry, and the uninstaller, also into a /D= folder.
if [ -n "${VORNA_SIGNING_CERT:-}" ]; then
    echo "windows.sh: the programs and the installer are signed with $VORNA_SIGNING_CERT"
else
    echo "NOTE: the programs and the installer are not signed (no VORNA_SIGNING_CERT=FILE.p12)."
fi
(cd "$build" && cpack >/dev/null) || status=1
version="$(sed -n 's/^project(VornaUsbLink VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
installer="$build/vorna-link-$version-win64.exe"
portable="$build/vorna-link-$version-win64.zip"
installed="$WINEPREFIX/drive_c/Program Files/VORNA USB Link"
in_zip() { unzip -l "$portable" "*/$1" >/dev/null 2>&1; }
check "the installer is made" [ -f "$installer" ]
check "the zip is made" [ -f "$portable" ]
wine "$installer" /S /DESKTOP >/dev/null 2>&1
wineserver -w
said="$(wine "$installed/vornactl.exe" --version 2>&1 | tr -d '\r' || true)"
check "the installed vornactl.exe answers --version" [ "$said" = "vornactl $version" ]
for file in "vornactl.exe" "config.ini" "Firmware/Expert V1.70.mmc" "Profile/Drift Car/" \
    "FirmwareInformation.txt" "vorna-link.exe" "Qt licence.txt" Qt6Core.dll Qt6Gui.dll \
    Qt6Widgets.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll libstdc++-6.dll \
    libgcc_s_seh-1.dll libwinpthread-1.dll; do
    check "installed: $file" [ -e "$installed/$file" ]
    check "in the zip: $file" in_zip "$file"
done
check "vornactl.exe needs no DLL beside it" \
    bash -c "! x86_64-w64-mingw32-objdump -p '$build/bin/vornactl.exe' | grep -qiE 'DLL Name: (libstdc|libgcc|libwinpthread|Qt6)'"
check "the Qt notice names Debian's qt6-base 6.4.2+dfsg-10" \
    grep -q "qt6-base 6.4.2+dfsg-10" "$installed/Qt licence.txt"
start_menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VORNA USB Link"
check "a Start menu entry for the window" [ -e "$start_menu/VORNA USB Link.lnk" ]
check "a desktop shortcut (/DESKTOP)" [ -e "$WINEPREFIX/drive_c/users/Public/Desktop/VORNA USB Link.lnk" ]
check "an uninstaller" [ -e "$installed/Uninstall.exe" ]
check "the vendor's key names the folder" \
    bash -c "wine reg query 'HKLM\Software\Kelvaran Racing\VORNA USB Link' | grep -q 'Program Files'"
entry="$(wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VORNA USB Link' 2>/dev/null | tr -d '\r')"
for value in "NoModify +REG_DWORD +0x1" "NoRepair +REG_DWORD +0x1" "EstimatedSize +REG_DWORD +0x[0-9a-f]{4,}" \
    'InstallLocation +REG_SZ +C:\\Program Files\\VORNA USB Link$' \
    'QuietUninstallString +REG_SZ +"C:\\Program Files\\VORNA USB Link\\Uninstall.exe" /S$'; do
    check "the uninstall entry: ${value%% *}" grep -qE "^ *$value" <<<"$entry"
done
# Version information, read from the resources as Explorer's Properties shows it.
copyright="Copyright (C) 2026 Kelvaran Racing"
for program in "$installer" "$installed/vornactl.exe" "$installed/vorna-link.exe"; do
    check "version information with its copyright line: ${program##*/}" \
        bash -c 'strings -el "$1" | grep -qx "$2"' _ "$program" "$copyright"
done
check "the installer's version information names its version" \
    bash -c 'strings -n 3 -el "$1" | grep -qx "$2"' _ "$installer" "$version"
# The same version again goes on over itself, without uninstalling it first (the uninstaller
# would take the desktop shortcut away); another version installed is uninstalled first.
desktop="$WINEPREFIX/drive_c/users/Public/Desktop/VORNA USB Link.lnk"
wine "$installer" /S >/dev/null 2>&1
wineserver -w
check "the same version again: installed over, not uninstalled first" [ -e "$desktop" ]
wine reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VORNA USB Link' \
    /v DisplayVersion /d 1.0 /f >/dev/null 2>&1
wine "$installer" /S >/dev/null 2>&1
wineserver -w
check "another version installed: uninstalled first" [ ! -e "$desktop" ]
said="$(wine "$installed/vornactl.exe" --version 2>&1 | tr -d '\r' || true)"
check "and installed again" [ "$said" = "vornactl $version" ]
wine "$installed/Uninstall.exe" /S >/dev/null 2>&1
wineserver -w
check "uninstalled: the folder is gone" [ ! -e "$installed" ]
check "uninstalled: the desktop shortcut is gone" \
    [ ! -e "$WINEPREFIX/drive_c/users/Public/Desktop/VORNA USB Link.lnk" ]
check "uninstalled: no vendor key is left" \
    bash -c "! wine reg query 'HKLM\Software\Kelvaran Racing' >/dev/null 2>&1"
# /D= takes the rest of the command line unquoted: a folder without blanks.
wine "$installer" /S '/D=C:\Tools\Racing\VornaLink' >/dev/null 2>&1
wineserver -w
check "installed into a /D= folder" [ -e "$WINEPREFIX/drive_c/Tools/Racing/VornaLink/vornactl.exe" ]
wine "$WINEPREFIX/drive_c/Tools/Racing/VornaLink/Uninstall.exe" /S >/dev/null 2>&1
wineserver -w
check "uninstalled: the folders the installer made are gone" [ ! -e "$WINEPREFIX/drive_c/Tools" ]
wineserver -k 2>/dev/null || true

echo "windows.sh: the Windows part took $((SECONDS - start)) s"
[ "$status" = 0 ] || echo "windows.sh: some Windows tests failed (see above)." >&2
exit "$status"
