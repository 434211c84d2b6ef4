#!/bin/sh
# Builds and runs the benchmarks; prints the figures. Usage: bench/run.sh
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" test
build=${SONAVEL_BUILD_DIR:-$root/build}
fixtures="$build/fixtures"
"$root/tests/make_fixtures.sh" "$fixtures"

echo "== loadPlaylist, 10,000 entries of which 5,000 audio"
"$build/bench/folder_playlist_bench" --benchmark_format=console 2>/dev/null | grep -E 'median|mean'
echo "== Track switch in 'all' mode"
"$build/bench/playback_bench" switch "$fixtures/tone.wav" 2>/dev/null
echo "== loadMedia to the first time report"
"$build/bench/playback_bench" start "$fixtures/tone.mp3" "$fixtures/clip.mp4" 2>/dev/null
echo "== Bare mpv, process start to playback start"
python3 "$root/bench/bare_mpv_start.py" "$fixtures/tone.mp3" "$fixtures/clip.mp4"
