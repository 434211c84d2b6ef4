#!/usr/bin/env python3
"""From process start to its window on screen, for Sonavel and for bare mpv.

Usage: launch_bench.py SONAVEL FILE   (run under an X server, e.g. xvfb-run)
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time


def graphics_driver_loaded(pid):
    with open(f"/proc/{pid}/maps") as maps:
        mapped = maps.read()
    return "/dri/" in mapped or "libLLVM" in mapped


def window_shown_ms(command, window_class, runs=7):
    times = []
    driver = False
    for _ in range(runs):
        runtime = tempfile.mkdtemp()
        os.chmod(runtime, 0o700)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        began = time.perf_counter()
        process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        # xdotool's own --sync looks only twice a second: look more often, though not so
        # often that the X server runs out of client connections.
        shown = True
        while subprocess.run(["xdotool", "search", "--onlyvisible", "--class", window_class],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
            # A plain X server polled this hard sometimes refuses a new client: skip that run.
            if time.perf_counter() - began > 20 or process.poll() is not None:
                shown = False
                break
            time.sleep(0.02)
        if shown:
            times.append((time.perf_counter() - began) * 1000)
            driver = driver or graphics_driver_loaded(process.pid)
        process.terminate()
        process.wait()
    if not times:
        raise RuntimeError(f"no {window_class} window came up")
    return statistics.median(times), driver


sonavel, media = sys.argv[1], sys.argv[2]
empty, empty_driver = window_shown_ms([sonavel], "sonavel")
with_file, file_driver = window_shown_ms([sonavel, media], "sonavel")
# mpv's default OpenGL context fails on a plain X server; EGL on X works.
bare, _ = window_shown_ms(["mpv", "--no-config", "--force-window=immediate", "--idle",
                           "--gpu-context=x11egl"], "mpv")
print(f"launch to window shown: sonavel {empty:.0f} ms, with a file {with_file:.0f} ms; "
      f"bare mpv {bare:.0f} ms; ratio {empty / bare:.2f} and {with_file / bare:.2f}")
print(f"OpenGL driver loaded by then: without a file {'yes' if empty_driver else 'no'}, "
      f"with {media.rsplit('/', 1)[-1]} {'yes' if file_driver else 'no'}")
