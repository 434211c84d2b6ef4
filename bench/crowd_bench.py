#!/usr/bin/env python3
"""Many starts of `sonavel` at once, as a file manager opening a selection does.

    crowd_bench.py LAUNCHER PLAYER STARTS LOAD FILE...

Starts STARTS launchers at the same moment with the FILEs in turn, on a machine kept busy by
LOAD spinning processes: first with no Sonavel running, then again with the one that first
crowd left running. For each crowd it prints the median and slowest time from the start to the
launcher's exit, and how many players were loaded (each a whole Qt and libmpv start). The
launcher is run from a copy beside a stand-in player that counts its starts and then becomes
PLAYER. Needs a display (xvfb-run).
"""
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def crowd(launcher, files, starts, environment, expected_ends):
    began = time.monotonic()
    processes = [subprocess.Popen([launcher, files[i % len(files)]], env=environment,
                                  stderr=subprocess.DEVNULL) for i in range(starts)]
    ended = {}
    deadline = began + 120
    while time.monotonic() < deadline and len(ended) < expected_ends:
        for process in processes:
            if process.pid not in ended and process.poll() is not None:
                ended[process.pid] = time.monotonic() - began
        time.sleep(0.005)
    return processes, sorted(ended.values())


def main():
    launcher, player, starts, load, files = (sys.argv[1], sys.argv[2], int(sys.argv[3]),
                                             int(sys.argv[4]), sys.argv[5:])
    scratch = tempfile.mkdtemp()
    runtime = os.path.join(scratch, "runtime")
    os.mkdir(runtime, 0o700)
    os.mkdir(os.path.join(scratch, "bin"))
    copy = os.path.join(scratch, "bin", "sonavel")
    shutil.copy(launcher, copy)
    log = os.path.join(scratch, "players.log")
    stand_in = os.path.join(scratch, "bin", "sonavel-player")
    with open(stand_in, "w") as script:
        script.write(f"#!/bin/sh\necho started >> '{log}'\nexec '{player}' \"$@\"\n")
    os.chmod(stand_in, 0o700)
    environment = dict(os.environ, XDG_RUNTIME_DIR=runtime,
                       XDG_CONFIG_HOME=os.path.join(scratch, "config"),
                       XDG_STATE_HOME=os.path.join(scratch, "state"))
    spinners = [subprocess.Popen([sys.executable, "-c", "while True: pass"])
                for _ in range(load)]
    survivors = []
    try:
        # The first crowd leaves one running, the player; the second all hand over to it.
        for label, expected_ends in (("none running", starts - 1), ("one running", starts)):
            before = players(log)
            processes, times = crowd(copy, files, starts, environment, expected_ends)
            survivors += [p for p in processes if p.poll() is None]
            if times:
                print(f"{label}: {starts} starts at load {load}: median {statistics.median(times):.2f} s,"
                      f" slowest {times[-1]:.2f} s, {len(times)} ended,"
                      f" players loaded {players(log) - before}")
            else:
                print(f"{label}: no start ended")
    finally:
        for process in spinners + survivors:
            process.send_signal(signal.SIGTERM)
        for process in spinners + survivors:
            process.wait()
        shutil.rmtree(scratch)


def players(log):
    try:
        with open(log) as lines:
            return sum(1 for _ in lines)
    except FileNotFoundError:
        return 0


if __name__ == "__main__":
    main()
