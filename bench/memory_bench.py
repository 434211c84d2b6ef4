#!/usr/bin/env python3
"""Peak resident memory (VmHWM) of Sonavel next to bare mpv doing the same, median of 3 runs:
launch with no file, a song playing, a 720p video playing, a song after a video; then 300
loads alternating a video and a song, once each.

Usage: memory_bench.py BUILD_DIR BENCH_DIR SONG VIDEO   (run under an X server)
"""
import re
import statistics
import subprocess
import sys

build, bench, song, video = sys.argv[1:5]
ui_bench = f"{build}/bench/ui_bench"


def peaks(command, pattern=r"peak rss (\d+) KiB"):
    output = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    return [int(kib) for kib in re.findall(pattern, output)]


def median_peak(command, runs=3):
    return statistics.median(peaks(command)[0] for _ in range(runs))


def mib(kib):
    return kib / 1024


scenarios = [
    ("launch, no file", [ui_bench, "empty", "-", "2"],
     ["python3", f"{bench}/bare_mpv_memory.py", "empty"]),
    ("song playing, window shown", [ui_bench, "audio", song, "2"],
     ["python3", f"{bench}/bare_mpv_cpu.py", "2", song, "--no-video", "--ao=null"]),
    ("720p video playing", [ui_bench, "video", video, "2"],
     ["python3", f"{bench}/bare_mpv_cpu.py", "2", video, "--vo=gpu", "--gpu-context=x11egl",
      "--ao=null"]),
    ("song after a video", [ui_bench, "after-video", song, "2", video],
     ["python3", f"{bench}/bare_mpv_memory.py", "after-video", song, video]),
]
for name, sonavel, mpv in scenarios:
    ours, theirs = median_peak(sonavel), median_peak(mpv)
    print(f"{name}: sonavel {mib(ours):.0f} MiB, bare mpv {mib(theirs):.0f} MiB, "
          f"ratio {ours / theirs:.2f}")

after = r"(\d+) KiB after"
ours = peaks([ui_bench, "alternate", song, "300", video], after)
theirs = peaks(["python3", f"{bench}/bare_mpv_memory.py", "alternate", song, video, "300"], after)
print(f"300 alternating loads: sonavel {mib(ours[0]):.0f} -> {mib(ours[1]):.0f} MiB "
      f"({100 * (ours[1] - ours[0]) / ours[0]:+.1f} %), bare mpv {mib(theirs[0]):.0f} -> "
      f"{mib(theirs[1]):.0f} MiB ({100 * (theirs[1] - theirs[0]) / theirs[0]:+.1f} %)")
