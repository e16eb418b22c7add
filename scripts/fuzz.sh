#!/usr/bin/env bash
# Builds, then runs every fuzz target for SECONDS seconds each (default 600), two at a time.
# What a run finds that is new joins build/fuzz/work/<target>/corpus for the next run; an input
# that breaks a target is kept in build/fuzz/work/<target>/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
fi
bash scripts/build.sh
if [ ! -d build/fuzz ]; then
    echo "The fuzz targets were not built: clang++ with -fsanitize=fuzzer is missing." >&2
    exit 1
fi
cd build
VORNA_FUZZ_SECONDS="$seconds" ctest -L fuzz --output-on-failure -j2 --timeout $((seconds + 300))
