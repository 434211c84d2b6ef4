#!/bin/sh
# Builds Sonavel with coverage counters in build-coverage/, runs every test as scripts/test.sh
# does, and prints line and branch coverage per source file (gcovr). Extra arguments go to
# ctest (for example -R player_manager). The full report: build-coverage/coverage.html
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" coverage
build=$root/build-coverage
# Counts from an earlier run would add to these.
[ -d "$build" ] && find "$build" -name '*.gcda' -delete
SONAVEL_BUILD_DIR=$build \
    SONAVEL_CMAKE_ARGS="-DCMAKE_BUILD_TYPE=Debug -DSONAVEL_BENCHMARKS=OFF
        -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage" \
    "$root/scripts/test.sh" "$@" || echo "coverage: some tests failed" >&2
# Branches the compiler adds for exceptions are not the code's own.
gcovr --root "$root" --object-directory "$build" --filter "$root/src/" \
    --exclude-throw-branches --exclude-unreachable-branches \
    --html-details "$build/coverage.html" --txt - --branches --print-summary
