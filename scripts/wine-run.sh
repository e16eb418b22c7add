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
# Wine keeps QT_* variables from Windows programs (they are the Linux Qt's) and passes WINEQT_*
# as QT_*. Where on-xvfb.sh chose X11 for the Linux programs, the Windows ones draw through
# Wine's windows.
if [ "${QT_QPA_PLATFORM:-}" = xcb ]; then export WINEQT_QPA_PLATFORM=windows; fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
fi
exec wine "$@"
