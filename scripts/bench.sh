#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them: prints their tables and writes them to
# bench/RESULTS.md, which the README's Speed section quotes. Every figure stands beside its
# target; the exit code is 1 when any figure misses its target or a benchmark failed.
#
#   scripts/bench.sh [--runs N] [--idle-seconds N] [--out FILE]
#
# BENCH_BUILD_DIR (default build-bench/) keeps the Release build apart from build/.
# Figures depend on the machine: run it on an otherwise idle one.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=3
idle=20
out=bench/RESULTS.md
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) runs="$2"; shift 2 ;;
        --idle-seconds) idle="$2"; shift 2 ;;
        --out) out="$2"; shift 2 ;;
        *) echo "usage: scripts/bench.sh [--runs N] [--idle-seconds N] [--out FILE]" >&2; exit 2 ;;
    esac
done

build="${BENCH_BUILD_DIR:-build-bench}"
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
else
    # A build of its own needs no tests (nor GoogleTest).
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
fi
targets=(vornactl vorna-bench-cli vorna-bench-flash)
gui=0
# The window is built when Qt 6 was found and not turned off.
if grep -q '^Qt6_DIR:PATH=' "$build/CMakeCache.txt" &&
    ! grep -q '^Qt6_DIR:PATH=.*NOTFOUND' "$build/CMakeCache.txt" &&
    ! grep -q '^VORNA_WITH_GUI:BOOL=OFF' "$build/CMakeCache.txt"; then
    targets+=(vorna-link vorna-bench-window vorna-bench-plug)
    gui=1
fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >&2

export QT_QPA_PLATFORM=offscreen
status=0
table="$(mktemp)"
trap 'rm -rf "$table" "$table.data"' EXIT

# The window as shipped: `vorna-link --simulate esc:16` for `idle` seconds after 5 s to start,
# read from /proc. No Device mode is chosen there (the program has no option for it): the poll
# only keeps the port open. vorna-bench-window measures the window polling the ESC.
VornaLinkIdle() {
    local pid start_cpu end_cpu start_ns end_ns hwm
    # A data folder of its own: the window would otherwise start in the Device mode last chosen.
    XDG_DATA_HOME="$table.data" "$build/bin/vorna-link" --simulate esc:16 >/dev/null 2>&1 &
    pid=$!
    sleep 5
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "vorna-link --simulate esc:16 did not keep running" >&2
        return 1
    fi
    # CPU time of every thread in nanoseconds (the first figure of each schedstat), which
    # counts finer than the clock ticks of /proc/PID/stat; the clock ticks where the kernel
    # keeps no schedstat.
    cpu() {
        if [ -r "/proc/$pid/schedstat" ]; then
            cat /proc/"$pid"/task/*/schedstat | awk '{ns += $1} END {printf "%.0f\n", ns}'
        else
            awk -v hz="$(getconf CLK_TCK)" '{printf "%.0f\n", ($14 + $15) * 1e9 / hz}' \
                "/proc/$pid/stat"
        fi
    }
    start_cpu=$(cpu)
    start_ns=$(date +%s%N)
    sleep "$idle"
    end_cpu=$(cpu)
    end_ns=$(date +%s%N)
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v c0="$start_cpu" -v c1="$end_cpu" -v t0="$start_ns" -v t1="$end_ns" \
        -v hwm="$hwm" 'BEGIN {
        cpu = 100 * (c1 - c0) / (t1 - t0)
        mb = hwm / 1024
        printf "| vorna-link --simulate esc:16, offscreen, no Device mode chosen | measured | target |\n"
        printf "|---|---:|---:|\n"
        printf "| idle CPU (the hint blinks), %% of a core | %.3f | 0.2%s |\n", cpu, cpu <= 0.2 ? "" : " off target"
        printf "| peak resident memory, MB | %.1f | 47-51%s |\n", mb, (mb >= 47 && mb <= 51) ? "" : " off target"
        exit (cpu <= 0.2 && mb >= 47 && mb <= 51) ? 0 : 1
    }'
}

{
    echo "# Benchmark results"
    echo
    echo "Written by \`scripts/bench.sh --runs $runs --idle-seconds $idle\` on $(date -u +%Y-%m-%d)," \
         "$(nproc) cores, $(uname -sm); Release build. Each figure stands beside its target."
    echo "Floors are every byte on the line at 1,920 bytes a second plus the pauses the device"
    echo "conversation keeps (see bench/CliBench.cpp and bench/FlashBench.cpp); times are the"
    echo "fastest of $runs runs against a simulated device paced at 19200 baud."
    echo
} >"$table"

echo "== vornactl" >&2
"$build/bench/vorna-bench-cli" --runs "$runs" --markdown >>"$table" || status=1
echo >>"$table"
if [ "$gui" = 1 ]; then
    echo "== the window ($idle s idle, then a read, a write and a silent ESC)" >&2
    "$build/bench/vorna-bench-window" --idle-seconds "$idle" --markdown >>"$table" 2>/dev/null ||
        status=1
    echo >>"$table"
    echo "== vorna-link --simulate esc:16 ($idle s)" >&2
    VornaLinkIdle >>"$table" || status=1
    echo >>"$table"
    echo "== plug to values (8 plugs, the window and vornactl read)" >&2
    "$build/bench/vorna-bench-plug" --plugs 8 --markdown >>"$table" 2>/dev/null || status=1
    echo >>"$table"
else
    echo "(The window was not built: Qt 6 Widgets missing, no window figures.)" >>"$table"
    echo >>"$table"
fi
echo "== firmware updates" >&2
"$build/bench/vorna-bench-flash" --runs "$runs" --markdown >>"$table" || status=1

mkdir -p "$(dirname "$out")"
cp "$table" "$out"
cat "$out"
echo >&2
echo "Written to $out." >&2
[ "$status" = 0 ] || echo "Some figures miss their targets (or a benchmark failed): see above." >&2
exit "$status"
