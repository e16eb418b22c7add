#!/usr/bin/env bash
# Runs a command on a private X server: Xvfb with one screen at 24 bits (1366x768 unless told
# otherwise) and openbox as the window manager, with the Qt programs on X11 (xcb) and a runtime
# folder of their own. Both are stopped afterwards, whatever happened; the command's exit status
# is the script's.
#
#   on-xvfb.sh [--dpi 96|120|144] [--screen WIDTHxHEIGHT] COMMAND [ARGUMENTS...]
#
# At 120 or 144 DPI the programs are told the desktop's font DPI (QT_FONT_DPI), the value a
# desktop set to 125 % or 150 % puts in Xft.dpi. Qt 6 on X11 takes its logical DPI from there and
# scales every window by 1.25 or 1.5, so a 1366x768 screen becomes 1093x614 or 911x512
# device-independent pixels, as it does for a user with that setting. Xvfb's own -dpi only sets
# the physical DPI, which Qt 6 does not scale by, and QT_SCALE_FACTOR is a developer's override
# that no desktop sets.
#
# Exits 77 (a skip for ctest) when Xvfb or openbox is missing; scripts/deps.sh installs them.
set -uo pipefail

dpi=96
screen=1366x768
while (($# > 0)); do
    case "$1" in
        --dpi) dpi="${2:-}"; shift 2 || shift ;;
        --screen) screen="${2:-}"; shift 2 || shift ;;
        *) break ;;
    esac
done
case "$dpi" in 96 | 120 | 144) ;; *) dpi="" ;; esac
if [ -z "$dpi" ] || ! [[ "$screen" =~ ^[0-9]+x[0-9]+$ ]] || (($# == 0)); then
    echo "usage: on-xvfb.sh [--dpi 96|120|144] [--screen WIDTHxHEIGHT] COMMAND [ARGUMENTS...]" >&2
    exit 2
fi

for tool in Xvfb openbox; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed, so nothing can run on an X server" \
            "(scripts/deps.sh installs it)."
        exit 77
    fi
done

work="$(mktemp -d)"
xvfb_pid=""
wm_pid=""
stop() {
    if [ -n "$wm_pid" ]; then kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits up to SECONDS for a condition, looking every 0.1 s. The limit allows for a very slow
# machine; nothing is measured by it.
wait_for() {
    local tries=$(($1 * 10))
    shift
    while ((tries-- > 0)); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}
alive() { kill -0 "$1" 2>/dev/null; }

# Xvfb picks a free display itself and writes its number once it takes connections.
Xvfb -displayfd 3 -screen 0 "${screen}x24" -dpi "$dpi" -nolisten tcp \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
has_display() { grep -q '^[0-9][0-9]*$' "$work/display"; }
xvfb_settled() { has_display || ! alive "$xvfb_pid"; }
wait_for 60 xvfb_settled
if ! has_display || ! alive "$xvfb_pid"; then
    echo "on-xvfb.sh: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(cat "$work/display")"

# The window manager gets folders of its own, so that no user's settings change what it does.
# It runs the --startup command once it manages the screen.
mkdir -p "$work/config" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_settled() { [ -e "$work/wm-ready" ] || ! alive "$wm_pid"; }
wait_for 60 wm_settled
if ! [ -e "$work/wm-ready" ] || ! alive "$wm_pid"; then
    echo "on-xvfb.sh: openbox did not start:" >&2
    cat "$work/openbox.log" >&2
    exit 1
fi

echo "on-xvfb.sh: $DISPLAY, $screen, $dpi DPI"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
    QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI QT_STYLE_OVERRIDE WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
if [ "$dpi" != 96 ]; then export QT_FONT_DPI="$dpi"; fi
# In the background so that a TERM from outside stops the command too and still gets here to
# stop the server.
"$@" &
command_pid=$!
trap 'kill "$command_pid" 2>/dev/null; wait "$command_pid"; exit 143' TERM
trap 'kill -INT "$command_pid" 2>/dev/null; wait "$command_pid"; exit 130' INT
wait "$command_pid"
