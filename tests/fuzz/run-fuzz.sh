#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS, two at a time, starting from
# the seed corpus. Inputs that crash land in BUILD_DIR/crashes; any crash fails the script.
set -euo pipefail
seconds=${1:-30}
here=$(cd "$(dirname "$0")" && pwd)
build=$(mkdir -p "${2:-build-fuzz}" && cd "${2:-build-fuzz}" && pwd)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2

mkdir -p "$build/crashes"
# xraylib keeps a few bytes when it refuses a compound; that is not the program's leak.
export LSAN_OPTIONS="suppressions=$here/../lsan-suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
run_target() {
    local name=$1
    local corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    cp -n "$here/corpus/$name/"* "$corpus/" 2>/dev/null || true
    local binary="$build/fuzz_$(echo "$name" | sed -E 's/(^|_)([a-z])/\U\2/g')"
    if "$binary" "$corpus" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 \
        -print_final_stats=1 -artifact_prefix="$build/crashes/$name-" \
        >"$build/$name.log" 2>&1; then
        echo "fuzz $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' \
            "$build/$name.log" | grep -o '[0-9]*$') runs in ${seconds}s, no crash"
    else
        echo "fuzz $name: FAILED, see $build/$name.log and $build/crashes/"
        tail -30 "$build/$name.log"
        return 1
    fi
}

status=0
targets=(parameter_file mask_image spectrum map_file tool_arguments)
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    for name in "${targets[@]:i:2}"; do
        run_target "$name" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || status=1
    done
done
exit $status
