#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for SECONDS (default 60)
# on a copy of its committed corpus. Prints executions, the slowest input's
# time and the peak memory per target; exits non-zero on any finding (crash,
# sanitizer report, leak, timeout or out-of-memory).
# The mutations start from a fixed seed (FUZZ_SEED, default 1), so that a
# run is reproducible; set another seed to explore further.
# Usage: [FUZZ_SEED=N] tools/run-fuzzers.sh [SECONDS]   (needs clang and libclang-rt-14-dev)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
seed=${FUZZ_SEED:-1}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/vsk-fuzz-XXXXXX")
trap 'rm -rf "$work"' EXIT
status=0
printf '%-16s %12s %10s %14s %10s\n' target executions exec/s "slowest (s)" "rss (MB)"
for target in fuzz_lzh_header fuzz_decode fuzz_segment fuzz_microcode fuzz_analysis; do
    mkdir -p "$work/$target/corpus" "$work/$target/tmp"
    cp fuzz/corpus/$target/* "$work/$target/corpus/"
    log="$work/$target/log"
    if ! (cd "$work/$target" && TMPDIR="$work/$target/tmp" "$OLDPWD/build/fuzz/fuzz/$target" \
            -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            corpus >"$log" 2>&1); then
        status=1
        echo "$target: FINDING"
        grep -E 'ERROR|SUMMARY' "$log" | head -5
        ls "$work/$target" | grep -E '^(crash|timeout|oom|leak)-' | sed "s|^|  input: $work/$target/|"
        trap - EXIT  # keep the inputs for a look
        continue
    fi
    stat() { grep -E "^stat::$1:" "$log" | awk '{print $2}'; }
    printf '%-16s %12s %10s %14s %10s\n' "$target" "$(stat number_of_executed_units)" \
        "$(stat average_exec_per_sec)" "$(stat slowest_unit_time_sec)" "$(stat peak_rss_mb)"
    if [ -n "$(ls -A "$work/$target/tmp")" ]; then
        echo "$target: temporary files left behind"
        status=1
    fi
done
exit $status
