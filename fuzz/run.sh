#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on top of its committed seed corpus.
#   fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]     (default: 30 s, all four targets)
# Builds the `fuzz` preset first. New inputs that reach new code are kept in
# build/fuzz/corpus/<target> (the committed seeds stay as they are); an input that breaks a
# property or trips a sanitizer is saved in build/fuzz/artifacts/ and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dispatcher parameters processing services)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

mkdir -p build/fuzz/artifacts
summary=()
for target in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    log=build/fuzz/$target.log
    mkdir -p "$corpus"
    echo "== fuzz: $target for ${seconds} s"
    status=0
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$target-" -rss_limit_mb=2048 \
        "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ "$status" -ne 0 ]; then
        tail -40 "$log"
        echo "fuzz: $target FAILED (exit $status); the input is in build/fuzz/artifacts/"
        exit 1
    fi
    summary+=("$target: ${runs:-?} executions in ${seconds} s, $(find "$corpus" -type f | wc -l) inputs kept")
done
printf 'fuzz: %s\n' "${summary[@]}"
