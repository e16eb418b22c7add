#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the sanitizer builds
# (scripts/sanitize.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
(
    export QT_QPA_PLATFORM=offscreen
    cd build
    ctest --output-on-failure -j"$(nproc)" --timeout 600
)
bash scripts/sanitize.sh
