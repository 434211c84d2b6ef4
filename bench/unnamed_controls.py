#!/usr/bin/python3
"""How many of the controls a screen reader finds in Sonavel's window have no name, read
through the accessibility bus as Orca reads it: with nothing loaded, a film, and a song in a
folder of three.

    dbus-run-session -- xvfb-run -a sh -c \\
        '/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
         bench/unnamed_controls.py build/sonavel-player build/fixtures'
"""

import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "accessibility"))
from tst_accessibility import (INTERACTIVE_ROLES, Sonavel, descendants,  # noqa: E402
                               unnamed_controls, wait_for)


def count(player, path):
    sonavel = Sonavel(player, [path] if path else [])
    try:
        wait_for(lambda: sonavel.controls("push button"), "its buttons")
        if path:
            wait_for(lambda: sonavel.controls("slider"), "the transport bar")
        unnamed = unnamed_controls(sonavel.window)
        total = len([node for node in descendants(sonavel.window)
                     if node.get_role_name() in INTERACTIVE_ROLES])
        print("%s: %d of %d controls without a name %s" % (
            os.path.basename(path) if path else "nothing loaded", len(unnamed), total,
            sorted(unnamed)))
    finally:
        sonavel.close()


def main():
    player, fixtures = sys.argv[1], sys.argv[2]
    folder = tempfile.mkdtemp()
    try:
        for name, fixture in (("a.mp3", "long.mp3"), ("b.mp3", "covered-album.mp3"),
                              ("c.mp3", "tone.mp3")):
            shutil.copy(os.path.join(fixtures, fixture), os.path.join(folder, name))
        for path in (None, os.path.join(fixtures, "long.mp4"), os.path.join(folder, "b.mp3")):
            count(player, path)
    finally:
        shutil.rmtree(folder)


if __name__ == "__main__":
    main()
