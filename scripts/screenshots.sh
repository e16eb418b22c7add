#!/usr/bin/env bash
# Regenerates the README's pictures in docs/screenshots/: the window's three pages against a
# simulated ESC (model type 16), identified and read, the compare view (the ESC against a setup
# sheet) and the backups list. The program gets a data folder of its own, so the list shows the
# backups it makes there and none of yours. They are taken on a private X server
# (scripts/on-xvfb.sh) so that text is drawn as on a desktop; without Xvfb, offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
out="$PWD/docs/screenshots"
mkdir -p "$out"
data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
export XDG_DATA_HOME="$data"
app=(build/bin/vorna-link --simulate esc:16 --screenshots "$out")
rc=0
bash scripts/on-xvfb.sh "${app[@]}" || rc=$?
if ((rc == 77)); then
    echo "Taking them offscreen instead."
    XDG_RUNTIME_DIR="$(mktemp -d)" QT_QPA_PLATFORM=offscreen "${app[@]}"
elif ((rc != 0)); then
    exit "$rc"
fi
