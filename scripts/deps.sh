#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

# libudev-dev: udev tells the link when a serial port appears. clang and libclang-rt-dev build
# the libFuzzer targets (tests/fuzz). xvfb and openbox are the
# X server and window manager of the tests on a real screen (scripts/on-xvfb.sh), and xdotool
# puts the journeys' mouse clicks and keys into that server (tests/xserver/journey); Qt's X11
# platform plugin and the xcb libraries it loads come with libqt6gui6 (through qt6-base-dev),
# and no X authority file is used, so xauth is not needed. dpkg-dev has dpkg-shlibdeps for the
# package's dependencies, and CPack's Debian generator runs file on the programs;
# desktop-file-utils and appstream validate the installed desktop files. The Windows build
# (scripts/windows.sh): the MinGW-w64 cross compiler (POSIX threads), GoogleTest's sources to
# build with it, ninja, xz-utils for the Qt archive, NSIS and zip for the installer and the
# portable zip, unzip to look into it, Wine (64-bit) to run the Windows programs and tests, and
# osslsigncode and openssl to sign them (and make the tests' throwaway certificate). libudev-dev
# says when a serial port appears.
packages=(g++ make cmake pkg-config libudev-dev libgtest-dev libgmock-dev googletest
          qt6-base-dev nettle-dev fonts-liberation clang-format clang libclang-rt-dev
          xvfb openbox xdotool dpkg-dev file desktop-file-utils appstream
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix ninja-build xz-utils nsis zip
          unzip wine wine64 osslsigncode openssl)

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
