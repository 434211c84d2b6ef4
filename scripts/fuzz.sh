#!/bin/sh
# Builds the fuzz targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# each for SONAVEL_FUZZ_SECONDS (60) from the seeds under fuzz/seeds. Findings land in
# build-fuzz/findings; each becomes a regression test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SONAVEL_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${SONAVEL_FUZZ_SECONDS:-60}

"$root/scripts/setup.sh" fuzz
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DSONAVEL_FUZZ=ON -DSONAVEL_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" \
    --target fuzz_window_frame_text fuzz_hand_over_request fuzz_command_line_argument

status=0
for target in window_frame_text hand_over_request command_line_argument; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    echo "== $target: $seconds s"
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=4096 -timeout=5 \
        -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" "$root/fuzz/seeds/$target" \
        2>&1 | grep -E "^(stat::number_of_executed_units|stat::new_units_added|==[0-9]+==ERROR|SUMMARY|Done)" ||
        true
    if [ -n "$(ls -A "$findings")" ]; then
        echo "!! $target found: $(ls "$findings")"
        status=1
    fi
done
exit $status
