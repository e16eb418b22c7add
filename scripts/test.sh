#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; then the Windows build and its tests
# under Wine (scripts/windows.sh), the packages (scripts/package.sh: a missing install step shows
# here) and the sanitizer builds (scripts/sanitize.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
(
    export QT_QPA_PLATFORM=offscreen
    cd build
    ctest --output-on-failure -j"$(nproc)" --timeout 600
)
bash scripts/windows.sh
bash scripts/package.sh >/dev/null
bash scripts/sanitize.sh
