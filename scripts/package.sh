#!/usr/bin/env bash
# Builds the Debian package (vorna-link_VERSION-1_ARCH.deb) from a Release build in
# build-package/ (or the folder PACKAGE_BUILD_DIR names; its flags are those of its first use)
# and has lintian look at it when lintian is installed. Prints the package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build="${PACKAGE_BUILD_DIR:-build-package}"
# Debian's hardening flags (stack protector, fortified functions, read-only relocations bound
# at start), as a package built by Debian's own tools would have them.
if [ ! -f "$build/CMakeCache.txt" ] && command -v dpkg-buildflags >/dev/null; then
    eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    export CXXFLAGS="$CXXFLAGS $CPPFLAGS"
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >&2
(cd "$build" && cpack -G DEB >&2)
deb="$(ls -t "$build"/vorna-link_*.deb | head -n 1)"
if command -v lintian >/dev/null; then
    # Not fatal: what it says is for the packager to read.
    lintian --info "$deb" >&2 || true
fi
echo "$deb"
