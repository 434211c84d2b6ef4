#!/usr/bin/env python3
"""Bare mpv playing a file, for comparison with ui_bench: CPU, peak memory, dropped frames.

Usage: bare_mpv_cpu.py SECONDS FILE MPV-OPTION...
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def ask(path, prop):
    with socket.socket(socket.AF_UNIX) as client:
        client.connect(path)
        client.sendall(json.dumps({"command": ["get_property", prop]}).encode() + b"\n")
        reply = json.loads(client.makefile().readline())
    return reply.get("data") or 0


seconds, media, options = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
ipc = os.path.join(tempfile.mkdtemp(), "mpv.sock")
player = subprocess.Popen(["mpv", "--no-config", "--loop-file=inf", f"--input-ipc-server={ipc}",
                           "--really-quiet", *options, media],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(2.5)
dropped = ask(ipc, "frame-drop-count"), ask(ipc, "vo-delayed-frame-count")
before, began = cpu_seconds(player.pid), time.monotonic()
time.sleep(seconds)
cpu = 100 * (cpu_seconds(player.pid) - before) / (time.monotonic() - began)
late = ask(ipc, "frame-drop-count") - dropped[0], ask(ipc, "vo-delayed-frame-count") - dropped[1]
print(f"bare mpv {' '.join(options)}: cpu {cpu:.1f} % of one core, "
      f"peak rss {peak_rss_kib(player.pid)} KiB, dropped frames {late[0]} (decoder) {late[1]} (late)")
player.terminate()
player.wait()
