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
echo "== Track switch in 'all' mode: from mpv finishing a song to the next one's time advancing"
echo "   (gapless: the next song is shown once the output has played the end, about its buffer)"
"$build/bench/playback_bench" switch "$fixtures/tone.wav" 2>/dev/null
echo "== loadMedia to the first time report"
"$build/bench/playback_bench" start "$fixtures/tone.mp3" "$fixtures/clip.mp4" 2>/dev/null
echo "== Remembered positions"
"$build/bench/playback_bench" resume "$fixtures/six-minutes.mkv" 2>/dev/null
echo "== An album heard through a PulseAudio of its own (3 songs of 3 s), Sonavel then bare mpv"
album=$(mktemp -d)
chirp() {
    hz=$1 rate=$2
    shift 2
    ffmpeg -nostdin -loglevel error -f lavfi \
        -i "aevalsrc=0.5*sin(2*PI*($hz*t+50*t*t)):s=$rate:d=3" "$@"
}
for format in same mixed; do
    mkdir "$album/$format"
    chirp 300 48000 "$album/$format/1.wav"
    if [ "$format" = same ]; then
        chirp 900 48000 "$album/$format/2.wav"
        chirp 1500 48000 "$album/$format/3.wav"
    else
        chirp 900 44100 -ac 2 "$album/$format/2.wav"
        chirp 1500 48000 -ac 2 -c:a libmp3lame -b:a 192k "$album/$format/3.mp3"
    fi
    echo "-- $format format (mixed: 48 kHz mono wav, 44.1 kHz stereo wav, mp3)"
    "$build/bench/album_bench" sonavel "$album/$format"/* 2>/dev/null
    "$build/bench/album_bench" mpv "$album/$format"/* 2>/dev/null
done
rm -rf "$album"
echo "== Bare mpv, process start to playback start"
python3 "$root/bench/bare_mpv_start.py" "$fixtures/tone.mp3" "$fixtures/clip.mp4"

# In the window, on a private X server: a 30 s song and a 30 s 1280x720 30 fps H.264 clip.
media=$(mktemp -d)
trap 'rm -rf "$media"' EXIT
ffmpeg -nostdin -loglevel error -f lavfi -i sine=duration=30 -c:a libmp3lame "$media/song.mp3"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=30:duration=30 \
    -f lavfi -i sine=duration=30 -pix_fmt yuv420p -c:v libx264 -preset fast -c:a aac -shortest \
    "$media/clip720.mp4"
export XDG_RUNTIME_DIR="$media" XDG_CONFIG_HOME="$media/config"
xvfb-run -a -s "-screen 0 1920x1080x24" sh -c "
    echo '== Audio playing, window visible'
    '$build/bench/ui_bench' audio '$media/song.mp3' 10 2>/dev/null
    python3 '$root/bench/bare_mpv_cpu.py' 10 '$media/song.mp3' --no-video --ao=null
    echo '== 1280x720 30 fps video playing in the window'
    '$build/bench/ui_bench' video '$media/clip720.mp4' 10 2>/dev/null
    python3 '$root/bench/bare_mpv_cpu.py' 10 '$media/clip720.mp4' --vo=gpu --gpu-context=x11egl --ao=null
    echo '== The same video at twice its speed (sound kept at its pitch), Sonavel then bare mpv'
    '$build/bench/ui_bench' video-2x '$media/clip720.mp4' 10 2>/dev/null
    python3 '$root/bench/bare_mpv_cpu.py' 10 '$media/clip720.mp4' --vo=gpu --gpu-context=x11egl --ao=null --speed=2
    echo '== Loaded and paused'
    '$build/bench/ui_bench' paused '$media/song.mp3' 10 2>/dev/null
    '$build/bench/ui_bench' paused '$media/clip720.mp4' 10 2>/dev/null
"

echo "== The time bar's preview: a 3-minute 1280x720 film, a keyframe every 10 s, then a song"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=1280x720:rate=25:duration=180 \
    -pix_fmt yuv420p -c:v libx264 -preset ultrafast -g 250 "$media/film720.mp4"
xvfb-run -a -s "-screen 0 1920x1080x24" sh -c "
    '$build/bench/preview_bench' '$media/film720.mp4' '$media/song.mp3' 2>/dev/null
    '$build/bench/preview_bench' '$media/film720.mp4' '$media/song.mp3' unused 2>/dev/null
"
rm -f "$media/film720.mp4"

echo "== 1280x720 30 fps video on Wayland (headless weston), then on X11 (Xvfb)"
"$root/tests/on_weston.sh" "$build/bench/ui_bench" video "$media/clip720.mp4" 10 2>/dev/null
xvfb-run -a -s "-screen 0 1440x900x24" "$build/bench/ui_bench" video "$media/clip720.mp4" 10 \
    2>/dev/null

echo "== Peak memory (VmHWM) next to bare mpv"
xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$root/bench/memory_bench.py" "$build" \
    "$root/bench" "$media/song.mp3" "$media/clip720.mp4"

echo "== A second start handing its file over"
runtime=$(mktemp -d)
chmod 700 "$runtime"
XDG_RUNTIME_DIR="$runtime" xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$build/bench/handoff_bench" "$build/sonavel" "$media/song.mp3" "$fixtures/tone.wav" 2>/dev/null
echo "== Launch to window shown"
xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$root/bench/launch_bench.py" "$build/sonavel" \
    "$media/song.mp3"
rm -rf "$runtime"
echo "== Twenty starts at once, the machine kept busy by 10 spinning processes"
xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$root/bench/crowd_bench.py" "$build/sonavel" \
    "$build/sonavel-player" 20 10 "$media/song.mp3" "$fixtures/tone.wav" "$fixtures/clip.mp4"

echo "== From the program's start to the window's first show and its first picture (median of 7)"
median() { sort -n | sed -n 4p; }
for file in "$media/song.mp3" "$media/clip720.mp4"; do
    runs=$(xvfb-run -a -s "-screen 0 1920x1080x24" sh -c "for run in 1 2 3 4 5 6 7; do
        '$build/bench/first_show_bench' '$file' 2>/dev/null; done")
    echo "$(basename "$file"): shown $(echo "$runs" | awk '{print $2}' | median) ms," \
        "first picture $(echo "$runs" | awk '{print $4}' | median) ms (-1: a song has none)"
done
xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$root/bench/bare_mpv_start.py" --vo=x11 \
    "$media/clip720.mp4"

echo "== Films without a GPU: each way of drawing, 720p and 1080p (median of 3)"
"$root/bench/renderer_bench.sh" "$build"
