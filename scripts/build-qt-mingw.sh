#!/usr/bin/env bash
# Builds the Qt 6 the Windows window links against, as DLLs, from Debian's own qt6-base
# 6.4.2+dfsg-10 source package (unchanged) with the MinGW-w64 cross compiler (POSIX threads),
# into the cache folder scripts/windows.sh looks in when no Qt archive is given:
#   ${VORNA_CACHE:-${XDG_CACHE_HOME:-~/.cache}/vorna-link}/qt6-mingw-shared
# Core, Gui, Widgets and Test, the Windows platform plugin and the Windows style plugin; left out:
# OpenGL, D-Bus, ICU, JPEG, SQL, network, print support, XML, tablet events (Debian's source has
# no Wintab header). The host tools (moc, rcc, uic) are Debian's qt6-base-dev-tools of the same
# version. About 40 minutes on two cores; run it once, scripts/windows.sh then finds the tree.
#
#   scripts/build-qt-mingw.sh [PREFIX]
#
# The source package is fetched with apt-get from the Debian archive the system's own packages
# come from, through a private source list, so the system's apt configuration is left as it is.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cache="${VORNA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorna-link}"
prefix="${1:-$cache/qt6-mingw-shared}"
work="$cache/qt6-mingw-build"
version=6.4.2
debian_version=6.4.2+dfsg-10

packages=(dpkg-dev cmake ninja-build qt6-base-dev qt6-base-dev-tools
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix xz-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

mkdir -p "$work/src" "$work/build"
src="$work/src/qtbase-everywhere-src-$version"
if [ ! -d "$src" ]; then
    mirror=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=$(awk '/^deb /{print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
    [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $mirror bookworm main" \
        >"$work/src.list"
    mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
    apt_private=(-o Dir::Etc::SourceList="$work/src.list" -o Dir::Etc::SourceParts=/nonexistent
                 -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
                 -o Debug::NoLocking=1)
    apt-get "${apt_private[@]}" update -qq
    (cd "$work/src" && apt-get "${apt_private[@]}" source --download-only "qt6-base=$debian_version")
    tar -C "$work/src" -xf "$work/src/qt6-base_$version+dfsg.orig.tar.xz"
fi

# The same cross toolchain as the program's own Windows build.
cp "$here/packaging/windows/mingw-w64.cmake" "$work/mingw.cmake"
cd "$work/build"
"$src/configure" -prefix "$prefix" -release -shared \
    -xplatform win32-g++ -qt-host-path /usr -nomake examples -nomake tests \
    -no-opengl -no-dbus -no-icu -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype \
    -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-xml \
    -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DFEATURE_tabletevent=OFF
cmake --build . --parallel "$(nproc)"
cmake --install .
# The tree carries its cross toolchain file, and Qt's own toolchain file finds it from where it
# stands, so the tree can be moved or packed.
cp "$work/mingw.cmake" "$prefix/mingw-w64.toolchain.cmake"
sed -i 's|set(__qt_initially_configured_toolchain_file ".*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64.toolchain.cmake")|' \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
rm -rf "$prefix/doc"
# Release DLLs without their symbol tables (a third of the size).
find "$prefix/bin" "$prefix/plugins" -name "*.dll" \
    -exec x86_64-w64-mingw32-strip --strip-unneeded {} + 2>/dev/null || true
echo "build-qt-mingw.sh: Qt $version for Windows (DLLs) is in $prefix;" \
    "scripts/windows.sh ($here) uses it when no Qt archive is given."
