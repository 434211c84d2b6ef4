#!/usr/bin/env python3
"""Bare mpv, for comparison: from process start until mpv says playback has begun (for a film
with a video output, once its first picture is shown).

Usage: bare_mpv_start.py [--vo=OUTPUT] FILE...   (the default, null, draws nothing)
"""
import os
import pty
import statistics
import subprocess
import sys
import time


video_output = "--vo=null"
paths = sys.argv[1:]
if paths and paths[0].startswith("--vo="):
    video_output, paths = paths[0], paths[1:]


def start_ms(path):
    # A terminal, so that mpv writes its message at once rather than when it exits.
    reader, writer = pty.openpty()
    began = time.perf_counter()
    process = subprocess.Popen(
        ["mpv", "--no-config", "--ao=null", video_output,
         "--term-playing-msg=PLAYING", path],
        stdout=writer, stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    os.close(writer)
    seen = b""
    while b"PLAYING" not in seen:
        seen += os.read(reader, 4096)
    elapsed = (time.perf_counter() - began) * 1000
    process.kill()
    process.wait()
    os.close(reader)
    return elapsed


for path in paths:
    runs = [start_ms(path) for _ in range(15)]
    print(f"bare mpv {video_output} start {path.split('/')[-1]}: "
          f"median {statistics.median(runs):.1f} ms")
