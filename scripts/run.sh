#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program's main job: against the bridge when
# one is plugged in, otherwise against a simulated ESC (model type 16).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bin=build/bin
if [ -n "$("$bin/vornactl" ports | grep '^/dev/' || true)" ]; then
    "$bin/vornactl" identify && exec "$bin/vornactl" read
fi
link="$(mktemp -d)/vorna-esc"
"$bin/vornactl" simulate esc --model 16 --link "$link" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
"$bin/vornactl" --port "$link" identify
"$bin/vornactl" --port "$link" read
