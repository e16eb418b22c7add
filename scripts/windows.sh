#!/usr/bin/env bash
# The Windows build and its tests, from Linux: cross-builds vornactl.exe, vorna-link.exe and the
# Windows tests with MinGW-w64 in build-win/ (the window against the static Qt 6 of
# ../shared/toolchains/, unpacked into build-win/), makes a fresh Wine prefix in
# build-win/wine/, and runs under Wine:
#   - the tests that need no pseudo-terminal (ctest -L windows in build-win/),
#   - vornactl.exe end to end against the simulated devices, which run natively and which the
#     prefix reaches through a COM port and a bridge entered in its registry, and the window on
#     a private X server (tests/windows/end-to-end.sh),
#   - the installer, silently, and the installed vornactl.exe.
# It leaves the installer and the portable zip in build-win/ (vorna-link-VERSION-win64.exe and
# .zip). When Wine, MinGW-w64, NSIS or the X server is missing it says it was skipped and why;
# scripts/deps.sh installs them. test.sh calls it after the Linux build, which it uses for the
# simulated devices.
#
#   scripts/windows.sh          QT_MINGW_ARCHIVE=FILE chooses another Qt archive
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

missing=()
for tool in wine wineboot wineserver x86_64-w64-mingw32-g++-posix makensis Xvfb openbox zip; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "SKIPPED: the Windows build and its tests under Wine: ${missing[*]} not installed" \
        "(scripts/deps.sh installs them)."
    exit 0
fi

# The simulated devices are the Linux build's.
[ -x build/bin/vornactl ] || bash scripts/build.sh

build=build-win
mkdir -p "$build"
mingw="$PWD/packaging/windows/mingw-w64.cmake"
qt_archive="${QT_MINGW_ARCHIVE:-../shared/toolchains/qt6-mingw-6.4.2.tar.xz}"
if [ -f "$qt_archive" ]; then
    # Unpacked again only when the archive changed.
    stamp="$(stat -c '%s %Y' "$qt_archive") $(realpath "$qt_archive")"
    if [ "$(cat "$build/qt6-mingw.stamp" 2>/dev/null)" != "$stamp" ]; then
        rm -rf "$build/qt6-mingw"
        tar -C "$build" -xJf "$qt_archive"
        echo "$stamp" >"$build/qt6-mingw.stamp"
    fi
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/$build/qt6-mingw/lib/cmake/Qt6/qt.toolchain.cmake"
               -DQT_CHAINLOAD_TOOLCHAIN_FILE="$mingw" -DVORNA_WITH_GUI=ON)
else
    echo "NOTE: $qt_archive not found: the Windows build is made without the window."
    toolchain=(-DCMAKE_TOOLCHAIN_FILE="$mingw" -DVORNA_WITH_GUI=OFF)
fi
generator=()
command -v ninja >/dev/null && [ ! -f "$build/Makefile" ] && generator=(-G Ninja)
cmake "${generator[@]}" -S . -B "$build" -DCMAKE_BUILD_TYPE=Release "${toolchain[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "windows.sh: built in $((SECONDS - start)) s"

# A fresh prefix for every run, quiet, with UTF-8 between Linux and Windows text.
export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
status=0

(cd "$build" && ctest --output-on-failure -L windows --timeout 600) || status=1

window_test=()
[ -f "$build/tests/windows/test_window.exe" ] && window_test=("$build/tests/windows/test_window.exe")
bash tests/windows/end-to-end.sh build/bin "$build/bin" "$build/end-to-end" "${window_test[@]}" ||
    status=1

# The packages, and the installer as a user runs it: silently, into Program Files.
(cd "$build" && cpack >/dev/null) || status=1
version="$(sed -n 's/^project(VornaUsbLink VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
installer="$build/vorna-link-$version-win64.exe"
portable="$build/vorna-link-$version-win64.zip"
installed="$WINEPREFIX/drive_c/Program Files/VORNA USB Link"
check() {
    if "${@:2}"; then echo "ok      $1"; else
        echo "FAILED  $1"
        status=1
    fi
}
in_zip() { unzip -l "$portable" "*/$1*" >/dev/null 2>&1; }
check "the installer is made" [ -f "$installer" ]
check "the zip is made" [ -f "$portable" ]
wine "$installer" /S >/dev/null 2>&1
wineserver -w
said="$(wine "$installed/vornactl.exe" --version 2>&1 || true)"
check "the installed vornactl.exe answers --version" [ "$said" = "vornactl $version" ]
for file in "vornactl.exe" "config.ini" "Firmware/Expert V1.70.mmc" "Profile/Drift Car" \
    "FirmwareInformation.txt"; do
    check "installed: $file" [ -e "$installed/$file" ]
    check "in the zip: $file" in_zip "$file"
done
if ((${#window_test[@]})); then
    for file in "vorna-link.exe" "Qt licence.txt"; do
        check "installed: $file" [ -e "$installed/$file" ]
        check "in the zip: $file" in_zip "$file"
    done
    check "a Start menu entry for the window" [ -e \
        "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VORNA USB Link/VORNA USB Link.lnk" ]
fi
check "an uninstaller" [ -e "$installed/Uninstall.exe" ]
wineserver -k 2>/dev/null || true

echo "windows.sh: the Windows part took $((SECONDS - start)) s"
[ "$status" = 0 ] || echo "windows.sh: some Windows tests failed (see above)." >&2
exit "$status"
