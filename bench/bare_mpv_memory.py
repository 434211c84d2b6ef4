#!/usr/bin/env python3
"""Bare mpv doing what ui_bench's memory scenarios do, for comparison: peak resident memory.

Usage: bare_mpv_memory.py empty
       bare_mpv_memory.py after-video SONG VIDEO
       bare_mpv_memory.py alternate SONG VIDEO COUNT
(run under an X server; the video output is mpv's own OpenGL window, audio goes nowhere)
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


class Mpv:
    def __init__(self):
        self.ipc = os.path.join(tempfile.mkdtemp(), "mpv.sock")
        self.process = subprocess.Popen(
            ["mpv", "--no-config", "--idle", "--force-window=immediate", "--gpu-context=x11egl",
             "--ao=null", "--loop-file=inf", f"--input-ipc-server={self.ipc}", "--really-quiet"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        while not os.path.exists(self.ipc):
            time.sleep(0.05)

    def command(self, *args):
        with socket.socket(socket.AF_UNIX) as client:
            client.connect(self.ipc)
            client.sendall(json.dumps({"command": list(args)}).encode() + b"\n")
            for line in client.makefile():
                reply = json.loads(line)
                if "error" in reply:
                    return reply.get("data")

    def play_a_while(self, media, seconds):
        self.command("loadfile", media, "replace")
        time.sleep(0.1)
        began = time.monotonic()
        while (self.command("get_property", "playback-time") or 0) < seconds:
            if time.monotonic() - began > 20:
                raise RuntimeError(f"{media} did not play")
            time.sleep(0.02)

    def peak(self):
        return peak_rss_kib(self.process.pid)

    def close(self):
        self.process.terminate()
        self.process.wait()


mode = sys.argv[1]
mpv = Mpv()
try:
    if mode == "empty":
        time.sleep(3)
        print(f"bare mpv empty window: peak rss {mpv.peak()} KiB")
    elif mode == "after-video":
        song, video = sys.argv[2], sys.argv[3]
        mpv.play_a_while(video, 3)
        mpv.play_a_while(song, 0.5)
        time.sleep(2)
        print(f"bare mpv after-video: peak rss {mpv.peak()} KiB")
    elif mode == "alternate":
        song, video, count = sys.argv[2], sys.argv[3], int(sys.argv[4])
        after_twenty = 0
        for load in range(1, count + 1):
            mpv.play_a_while(video if load % 2 else song, 0.2)
            if load == 20:
                after_twenty = mpv.peak()
        end = mpv.peak()
        print(f"bare mpv alternate: peak rss {after_twenty} KiB after 20 loads, {end} KiB after "
              f"{count} ({100 * (end - after_twenty) / after_twenty:+.1f} %)")
finally:
    mpv.close()
