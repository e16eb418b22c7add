#!/usr/bin/env bash
# Builds the tests that need no window with sanitizers and runs them; test.sh calls it after the
# normal build. Any sanitizer report fails the run.
#   build-asan/  AddressSanitizer + UndefinedBehaviorSanitizer: the link, protocol, settings,
#                firmware, sim and cli tests (vornactl too, which the cli tests drive).
#   build-tsan/  ThreadSanitizer: the protocol tests (link thread, monitor, transfers) and the sim
#                tests (the simulated devices' own threads).
# Neither tree builds the window, the fuzz targets or the X server tests. Usage:
#   scripts/sanitize.sh [asan|tsan]...    (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

jobs="$(nproc)"
trees=("$@")
((${#trees[@]})) || trees=(asan tsan)

# halt_on_error stops at the first report; exitcode makes it fail the test whatever the test
# itself thought. Sanitizer builds run at -O1 -g: fast enough, with usable stacks, asserts on.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:exitcode=86:detect_leaks=1:strict_init_order=1:check_initialization_order=1:detect_stack_use_after_return=1:strict_string_checks=1"
export LSAN_OPTIONS="exitcode=87"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=88"
export TSAN_OPTIONS="halt_on_error=1:exitcode=89:second_deadlock_stack=1"

# configure TREE SANITIZERS
configure() {
    cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
        "-DVORNA_SANITIZE=$2" -DVORNA_WITH_GUI=OFF -DVORNA_FUZZ=OFF >/dev/null
}

for tree in "${trees[@]}"; do
    start=$SECONDS
    case "$tree" in
        asan)
            configure build-asan "address;undefined"
            cmake --build build-asan -j"$jobs" --target test_link test_protocol test_settings \
                test_firmware test_sim test_cli
            (cd build-asan &&
                ctest --output-on-failure --no-tests=error -j"$jobs" --timeout 600 \
                    -L '^(link|protocol|settings|firmware|sim|cli)$')
            ;;
        tsan)
            configure build-tsan thread
            cmake --build build-tsan -j"$jobs" --target test_protocol test_sim
            (cd build-tsan &&
                ctest --output-on-failure --no-tests=error -j"$jobs" --timeout 600 \
                    -L '^(protocol|sim)$')
            ;;
        *)
            echo "sanitize.sh: unknown tree '$tree' (asan or tsan)" >&2
            exit 2
            ;;
    esac
    echo "sanitize.sh: $tree took $((SECONDS - start)) s"
done
