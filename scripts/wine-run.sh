#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine: the emulator CMake puts before the
# Windows tests and the build's own tools (the icon). Quiet (WINEDEBUG=-all), in $WINEPREFIX
# when one is set (scripts/windows.sh makes a fresh one for each run), else in DEFAULT_PREFIX.
#   wine-run.sh DEFAULT_PREFIX PROGRAM.exe [ARGUMENTS...]
set -euo pipefail
default_prefix="$1"
shift
export WINEPREFIX="${WINEPREFIX:-$default_prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# A Qt program of the Windows build must not take the Linux programs' platform choice.
unset QT_QPA_PLATFORM
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
fi
exec wine "$@"
