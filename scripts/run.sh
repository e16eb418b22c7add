#!/usr/bin/env bash
# Installs what is missing, builds, and runs VORNA USB Link: against the bridge when one is
# plugged in, otherwise against a simulated ESC (model type 16). Without a display it runs the
# window offscreen and saves screenshots of its three pages instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bin=build/bin
if [ ! -x "$bin/vorna-link" ]; then
    echo "The window was not built (Qt 6 Widgets missing?)." >&2
    exit 1
fi
args=()
if [ -z "$("$bin/vornactl" ports | grep '^/dev/' || true)" ]; then
    echo "No USB link found: running against a simulated ESC (model type 16)."
    args+=(--simulate esc:16)
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    shots="$PWD/screenshots"
    echo "No display: saving screenshots of the three pages in $shots"
    # Qt wants a private runtime folder; a headless login often has none.
    if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
        XDG_RUNTIME_DIR="$(mktemp -d)"
        export XDG_RUNTIME_DIR
    fi
    QT_QPA_PLATFORM=offscreen exec "$bin/vorna-link" "${args[@]}" --screenshots "$shots"
fi
exec "$bin/vorna-link" "${args[@]}"
