#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

# clang and libclang-rt-dev build the libFuzzer targets (tests/fuzz). xvfb and openbox are the
# X server and window manager of the tests on a real screen (scripts/on-xvfb.sh); Qt's X11
# platform plugin and the xcb libraries it loads come with libqt6gui6 (through qt6-base-dev),
# and no X authority file is used, so xauth is not needed. dpkg-dev has dpkg-shlibdeps for the
# package's dependencies; desktop-file-utils and appstream validate the installed desktop files.
packages=(g++ make cmake pkg-config libgtest-dev libgmock-dev
          qt6-base-dev fonts-liberation clang-format clang libclang-rt-dev
          xvfb openbox dpkg-dev desktop-file-utils appstream)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
