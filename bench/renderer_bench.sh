#!/bin/sh
# Films on a machine without a GPU: Sonavel's software path and its OpenGL path (llvmpipe)
# next to bare mpv's X11 output and its OpenGL output, each the median of RUNS runs of 10 s,
# for a 720p and a 1080p 30 fps H.264 film, and the least any Qt window playing through libmpv
# costs (qt_mpv_floor). Usage: bench/renderer_bench.sh BUILD_DIR
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
runs=${RUNS:-3}
media=$(mktemp -d)
trap 'rm -rf "$media"' EXIT
for size in 1280x720 1920x1080; do
    ffmpeg -nostdin -loglevel error -f lavfi -i "testsrc2=size=$size:rate=30:duration=40" \
        -f lavfi -i sine=duration=40 -pix_fmt yuv420p -c:v libx264 -preset fast -c:a aac \
        -shortest "$media/film-$size.mp4"
done
export XDG_RUNTIME_DIR="$media" XDG_CONFIG_HOME="$media/config"

# Prints "cpu %, peak KiB, dropped" as the median by CPU of the runs of a command.
median_of() {
    for run in $(seq "$runs"); do
        "$@" 2>/dev/null | sed -n 's/.*cpu \([0-9.]*\) %.*peak rss \([0-9]*\) KiB.*dropped frames \([0-9]*\) (decoder) \([0-9]*\) (late).*/\1 \2 \3 \4/p'
    done | sort -n | sed -n "$(((runs + 1) / 2))p" |
        awk '{printf "cpu %5.1f %%   peak %4d MiB   dropped %d (decoder) %d (late)\n", $1, $2 / 1024, $3, $4}'
}

for size in 1280x720 1920x1080; do
    film="$media/film-$size.mp4"
    echo "== $size 30 fps"
    printf '  sonavel, software   '
    SONAVEL_VIDEO_RENDERER=software median_of xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$build/bench/ui_bench" video "$film" 10
    printf '  sonavel, OpenGL     '
    SONAVEL_VIDEO_RENDERER=opengl median_of xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$build/bench/ui_bench" video "$film" 10
    printf '  mpv --vo=x11        '
    median_of xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$root/bench/bare_mpv_cpu.py" 10 \
        "$film" --vo=x11 --ao=null
    printf '  mpv --vo=gpu        '
    median_of xvfb-run -a -s "-screen 0 1920x1080x24" python3 "$root/bench/bare_mpv_cpu.py" 10 \
        "$film" --vo=gpu --gpu-context=x11egl --ao=null
    # What Qt itself adds: the least a Qt window playing through libmpv costs.
    printf '  Qt window + mpv x11 '
    median_of xvfb-run -a -s "-screen 0 1920x1080x24" "$build/bench/qt_mpv_floor" "$film" 10
done
