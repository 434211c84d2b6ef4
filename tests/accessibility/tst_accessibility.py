#!/usr/bin/python3
"""Sonavel as a screen reader and a keyboard-only user meet it: its windows read through the
accessibility bus (libatspi, as Orca reads them), driven through their actions, and walked
with real key presses (XTest, on X11 only).

Needs the accessibility bus of the current session (run_accessibility_tests.sh starts it),
SONAVEL_PLAYER and SONAVEL_FIXTURES."""

import base64
import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

TIMEOUT = 15
INTERACTIVE_ROLES = {"push button", "slider", "list", "list item", "image", "toggle button",
                     "check box", "combo box", "menu item"}
# Controls that act or inform and must say what they are.
NAMED_ROLES = {"push button", "slider", "list", "image"}


def pump():
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(predicate, what, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        pump()
        try:
            result = predicate()
        except GLib.Error:
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.05)


def states(node):
    return node.get_state_set()


def showing(node):
    return states(node).contains(Atspi.StateType.SHOWING)


def descendants(node):
    """Every showing object below `node`, depth first (the order the window shows them in)."""
    found = []
    for index in range(node.get_child_count()):
        child = node.get_child_at_index(index)
        if child is None or not showing(child):
            continue
        found.append(child)
        found.extend(descendants(child))
    return found


def unnamed_controls(window):
    return [node.get_role_name() for node in descendants(window)
            if node.get_role_name() in INTERACTIVE_ROLES and not node.get_name().strip()]


class Sonavel:
    """One run of the player, and what the accessibility bus says of it."""

    def __init__(self, player, arguments=(), language=None, state=None):
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.play = {"ja": "再生", "de": "Wiedergabe"}.get(language, "Play")
        if state:
            environment.update(XDG_STATE_HOME=state)
        if language:
            environment.update(LANGUAGE=language, LC_ALL=language + ".UTF-8", LANG=language)
        self.process = subprocess.Popen([player, *arguments], env=environment,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.application = wait_for(self._find, "Sonavel on the accessibility bus")
        self.application.set_cache_mask(Atspi.Cache.NONE)
        self.window = wait_for(lambda: self._first(self.application, "frame"), "its window")

    def _find(self):
        desktop = Atspi.get_desktop(0)
        for index in range(desktop.get_child_count()):
            application = desktop.get_child_at_index(index)
            if application is not None and application.get_process_id() == self.process.pid:
                return application
        return None

    @staticmethod
    def _first(node, role, name=None):
        for index in range(node.get_child_count()):
            child = node.get_child_at_index(index)
            if child is not None and child.get_role_name() == role and (
                    name is None or child.get_name() == name):
                return child
        return None

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(TIMEOUT)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def controls(self, role):
        return [node for node in descendants(self.window) if node.get_role_name() == role]

    def control(self, role, name):
        return wait_for(lambda: next((node for node in self.controls(role)
                                      if node.get_name() == name), None),
                        "a %s named %r" % (role, name))

    def press(self, name):
        button = self.control("push button", name)
        # Qt lists a button's press first; what it changes is checked by each caller.
        Atspi.Action.do_action(button, 0)

    def shown_playing(self):
        """Whether the play button is pressed: it keeps its name, which a reader keeps."""
        return states(self.control("push button", self.play)).contains(Atspi.StateType.CHECKED)

    def playing_rows(self):
        return [row.get_name() for row in self.controls("list item") if row.get_description()]

    def focused(self):
        # Qt marks a list's current row focused even while the list is not: the list itself
        # tells where the keyboard is.
        for node in [self.window, *descendants(self.window)]:
            if node.get_role_name() != "list item" and states(node).contains(
                    Atspi.StateType.FOCUSED):
                return node
        return None

    def focused_name(self):
        node = self.focused()
        if node is None:
            return None
        if node.get_role_name() == "list":
            return "list"
        return node.get_name() or node.get_role_name()


class Events:
    """Accessibility events Sonavel sends, as a screen reader receives them."""

    def __init__(self, *kinds):
        self.seen = []
        self.listener = Atspi.EventListener.new(self._record)
        for kind in kinds:
            self.listener.register(kind)

    def _record(self, event):
        try:
            self.seen.append((event.type, event.source.get_role_name(), event.source.get_name(),
                              event.detail1))
        except GLib.Error:
            pass

    def wait(self, predicate, what):
        return wait_for(lambda: any(predicate(*event) for event in self.seen), what)

    def said(self, text):
        """Waits for `text` (a string, or a compiled pattern) said as a notification."""
        matches = text.fullmatch if hasattr(text, "fullmatch") else text.__eq__
        return self.wait(lambda kind, role, name, detail: role == "notification" and matches(name),
                         "%r said" % text)

    def of(self, kind, role):
        return [event for event in self.seen if event[0].endswith(kind) and event[1] == role]

    def close(self):
        self.listener.deregister("object:")


def fixture(name):
    return os.path.join(os.environ["SONAVEL_FIXTURES"], name)


def album_folder():
    """Three songs: a minute of tone, a four-minute one with a cover, and an empty file."""
    folder = tempfile.mkdtemp()
    shutil.copy(fixture("long.mp3"), os.path.join(folder, "a.mp3"))
    shutil.copy(fixture("covered-album.mp3"), os.path.join(folder, "b.mp3"))
    shutil.copy(fixture("empty.mp3"), os.path.join(folder, "c.mp3"))
    return folder


def film_left_at(folder, seconds):
    """A six-minute film in `folder`, and a state folder that remembers it left at `seconds`."""
    film = os.path.join(folder, "film.mkv")
    shutil.copy(fixture("six-minutes.mkv"), film)
    state = os.path.join(folder, "state")
    os.makedirs(os.path.join(state, "sonavel"))
    entry = {"location": base64.b64encode(os.fsencode(film)).decode(),
             "size": os.path.getsize(film), "seconds": seconds}
    with open(os.path.join(state, "sonavel", "positions.json"), "w") as positions:
        json.dump({"format": 1, "files": [entry]}, positions)
    return film, state


def on_x11():
    return os.environ.get("QT_QPA_PLATFORM", "xcb") == "xcb" and shutil.which("xdotool")


class ScreenReaderTest(unittest.TestCase):
    player = os.environ.get("SONAVEL_PLAYER", "")

    def setUp(self):
        self.folder = album_folder()
        self.sonavel = None

    def tearDown(self):
        if self.sonavel:
            self.sonavel.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, *arguments, language=None):
        if self.sonavel:
            self.sonavel.close()
        self.sonavel = Sonavel(self.player, arguments, language)
        return self.sonavel

    def assert_all_named(self, sonavel):
        for role in NAMED_ROLES:
            for node in sonavel.controls(role):
                self.assertTrue(node.get_name().strip(), "a showing %s has no name" % role)
        self.assertEqual(unnamed_controls(sonavel.window), [])

    def test_empty_window_names_what_it_offers(self):
        for language, open_file in (("en", "Open File..."), ("ja", "ファイルを開く...")):
            with self.subTest(language=language):
                sonavel = self.start(language=language)
                sonavel.control("push button", open_file)
                # The big play symbol only decorates.
                self.assertEqual(sonavel.controls("image"), [])
                self.assert_all_named(sonavel)
                sonavel.close()
                self.sonavel = None

    def test_song_is_read_and_driven_through_its_actions(self):
        events = Events("object:state-changed:showing", "object:state-changed:focused",
                        "object:property-change:accessible-value")
        try:
            sonavel = self.start(os.path.join(self.folder, "a.mp3"))
            wait_for(sonavel.shown_playing, "the play button pressed")
            self.assert_all_named(sonavel)
            for name in ("Previous", "Next", "Stop", "Open File", "Repeat"):
                sonavel.control("push button", name)
            sonavel.control("list", "Playlist")
            wait_for(lambda: sonavel.playing_rows() == ["1, a"], "the first row marked")
            self.assertEqual(sonavel.control("list item", "1, a").get_description(), "Playing")

            # In seconds, with the time as it shows.
            slider = sonavel.control("slider", "Position")
            wait_for(lambda: abs(Atspi.Value.get_maximum_value(slider) - 60) < 1,
                     "a one-minute range")
            self.assertLessEqual(Atspi.Value.get_current_value(slider), 60)
            self.assertEqual(Atspi.Value.get_minimum_increment(slider), 5)
            self.assertRegex(slider.get_description(), r"^\d:\d\d of 1:00$")
            self.assertEqual(sonavel.control("push button", "Repeat").get_description(),
                             "Play all")
            # Playback moving the knob is not read out, as a bare number of seconds.
            start = Atspi.Value.get_current_value(slider)
            wait_for(lambda: Atspi.Value.get_current_value(slider) > start + 1, "playback on")
            self.assertEqual(events.of("value", "slider"), [])

            sonavel.press("Play")
            events.said("Paused")
            wait_for(lambda: not sonavel.shown_playing(), "the play button let go")
            wait_for(lambda: sonavel.control("list item", "1, a").get_description() == "Paused",
                     "the row marked paused")
            # What a reader that speaks no pressed state reads on the button instead.
            wait_for(lambda: sonavel.control("push button", "Play").get_description() == "Paused",
                     "the button described as paused")

            sonavel.press("Next")
            events.wait(lambda kind, role, name, detail: role == "notification"
                        and name == "b.mp3", "the new song said")
            wait_for(lambda: sonavel.playing_rows() == ["2, b"], "the second row marked")
            sonavel.control("image", "Cover of Quiet Rooms")
            self.assert_all_named(sonavel)

            sonavel.press("Stop")
            wait_for(lambda: not sonavel.shown_playing(), "stopped")
            sonavel.press("Next")
            events.wait(lambda kind, role, name, detail: role == "notification" and detail == 1
                        and name.startswith("Cannot play c.mp3"), "the error said")
            # And shown as an alert where the song's name is.
            wait_for(lambda: [node for node in sonavel.controls("alert")
                              if node.get_name().startswith("Cannot play c.mp3")], "the alert")
            # The keys stayed with the window: the list never claimed them, its rows neither.
            self.assertEqual([event for event in events.of("focused", "list item")
                              + events.of("focused", "list") if event[3]], [])
        finally:
            events.close()

    def test_a_reader_that_keeps_what_it_read_is_told_each_change(self):
        # Orca and pyatspi keep names, descriptions and states, and update them from events.
        sonavel = self.start(os.path.join(self.folder, "a.mp3"))
        events = Events("object:")
        self.addCleanup(events.close)
        sonavel.application.set_cache_mask(Atspi.Cache.DEFAULT)
        play = sonavel.control("push button", "Play")
        wait_for(lambda: states(play).contains(Atspi.StateType.CHECKED), "shown playing")
        for playing, state in ((False, "Paused"), (True, "Playing")):
            Atspi.Action.do_action(play, 0)
            events.said(state)
            wait_for(lambda: states(play).contains(Atspi.StateType.CHECKED) == playing,
                     "the play button's state")
            self.assertEqual(play.get_name(), "Play")
        # Qt sends a changed name without the name: the play button never changes its own.
        self.assertEqual([event for event in events.of("accessible-name", "push button")
                          if event[2] == "Play"], [])
        repeat = sonavel.control("push button", "Repeat")
        for mode in ("Repeat all", "Stop at end"):
            Atspi.Action.do_action(repeat, 0)
            events.said(mode)
            wait_for(lambda: repeat.get_description() == mode, "the mode read")

    def test_the_end_of_an_album_is_said(self):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder, True)
        for name in ("1.wav", "2.wav"):
            shutil.copy(fixture("tone.wav"), os.path.join(folder, name))
        events = Events("object:state-changed:showing")
        self.addCleanup(events.close)
        sonavel = self.start(os.path.join(folder, "1.wav"))
        events.said("2.wav")
        events.said("End of album")
        self.assertFalse(sonavel.shown_playing())

    def test_names_are_in_the_readers_language(self):
        sonavel = self.start(os.path.join(self.folder, "a.mp3"), language="ja")
        for name in ("再生", "停止", "前へ", "次へ", "ファイルを開く", "リピート"):
            sonavel.control("push button", name)
        sonavel.control("slider", "再生位置")
        sonavel.control("list", "プレイリスト")
        wait_for(lambda: sonavel.control("list item", "1, a").get_description() == "再生中",
                 "the row marked in Japanese")
        self.assert_all_named(sonavel)
        sonavel.control("label", "プレイリスト (3)")
        self.assertEqual(sonavel.control("push button", "リピート").get_description(),
                         "すべて再生")

    def test_film_and_its_full_screen(self):
        events = Events("object:state-changed:showing")
        self.addCleanup(events.close)
        for language, enter, leave, entered, left in (
                ("en", "Full Screen", "Leave Full Screen", "Full screen", "Full screen off"),
                ("ja", "フルスクリーン", "フルスクリーンを終了", "フルスクリーン", "フルスクリーン解除")):
            with self.subTest(language=language):
                sonavel = self.start(fixture("long.mp4"), language=language)
                wait_for(sonavel.shown_playing, "playing")
                self.assert_all_named(sonavel)
                # Its description is the tooltip, in the reader's language too.
                self.assertEqual(sonavel.control("push button", enter).get_description(), enter)
                # The track choices are in the menu bar as well.
                for menu in ("Subtitles", "Audio") if language == "en" else ():
                    wait_for(lambda: states(next(node for node in sonavel.controls("menu item")
                                                 if node.get_name() == menu)).contains(
                                                     Atspi.StateType.ENABLED), menu + " enabled")
                sonavel.press(enter)
                sonavel.control("push button", leave)
                events.said(entered)
                self.assert_all_named(sonavel)
                sonavel.press(leave)
                sonavel.control("push button", enter)
                events.said(left)
                sonavel.close()
                self.sonavel = None

    def test_playback_menu_and_speed_are_named_and_said(self):
        events = Events("object:state-changed:showing")
        self.addCleanup(events.close)
        sonavel = self.start(os.path.join(self.folder, "a.mp3"))
        wait_for(sonavel.shown_playing, "playing")
        playback = sonavel.control("menu item", "Playback")

        def below(node):
            found = []
            for index in range(node.get_child_count()):
                child = node.get_child_at_index(index)
                if child is not None:
                    found += [child, *below(child)]
            return found

        items = {node.get_name(): node for node in below(playback)
                 if node.get_role_name() == "menu item"}
        for name in ("Speed", "Faster", "Chapters", "Next Chapter", "Subtitle Timing",
                     "Audio Timing", "Subtitle Size", "Next Frame", "Save Frame"):
            self.assertIn(name, items)
        # A song: its pace can change, it has no frames.
        self.assertTrue(states(items["Faster"]).contains(Atspi.StateType.ENABLED))
        self.assertFalse(states(items["Save Frame"]).contains(Atspi.StateType.ENABLED))
        Atspi.Action.do_action(items["Faster"], 0)
        events.said("Speed 1.25\u00d7")
        speed = sonavel.control("push button", "Speed 1.25\u00d7")
        self.assertEqual(speed.get_description(), "Click for normal speed")
        self.assert_all_named(sonavel)
        Atspi.Action.do_action(speed, 0)
        events.said("Normal Speed")
        wait_for(lambda: not any(node.get_name().startswith("Speed")
                                 for node in sonavel.controls("push button")),
                 "the speed gone from the bar")

    def test_media_information_reads_row_by_row(self):
        sonavel = self.start(fixture("long.mp4"))
        wait_for(sonavel.shown_playing, "playing")
        view = sonavel.control("menu item", "View")
        items = {}
        pending = [view]
        while pending:
            node = pending.pop()
            for index in range(node.get_child_count()):
                child = node.get_child_at_index(index)
                if child is not None:
                    items[child.get_name()] = child
                    pending.append(child)
        self.assertTrue(states(items["Hardware Decoding"]).contains(Atspi.StateType.CHECKED))
        Atspi.Action.do_action(items["Media Information..."], 0)
        dialog = wait_for(lambda: sonavel._first(sonavel.application, "dialog",
                                                 "Media Information"), "the dialog")
        names = lambda: [node.get_name() for node in descendants(dialog)
                         if node.get_role_name() == "label"]
        wait_for(lambda: "Decoder: h264 (software)" in names(), "the decoder's row")
        self.assertIn("File: long.mp4", names())
        self.assertIn("Size: 320 \u00d7 240", names())

    def test_offer_to_continue_a_film_is_said(self):
        events = Events("object:state-changed:showing")
        self.addCleanup(events.close)
        film, state = film_left_at(self.folder, 120)
        self.sonavel = Sonavel(self.player, [os.path.join(self.folder, "a.mp3")], state=state)
        wait_for(self.sonavel.shown_playing, "playing")
        # Opened in the running player, as the desktop's media controls open a file.
        subprocess.run(["dbus-send", "--session", "--print-reply",
                        "--dest=org.mpris.MediaPlayer2.sonavel", "/org/mpris/MediaPlayer2",
                        "org.mpris.MediaPlayer2.Player.OpenUri", "string:file://" + film],
                       check=True, stdout=subprocess.DEVNULL)
        events.wait(lambda kind, role, name, detail: role == "notification"
                    and name == "Continue from 2:00", "the offer said")
        # In the window, where the reader finds it.
        self.sonavel.press("Continue from 2:00")
        wait_for(lambda: not [node for node in self.sonavel.controls("push button")
                              if node.get_name() == "Continue from 2:00"], "the offer taken")


@unittest.skipUnless(on_x11(), "real key presses need X11 and xdotool")
class KeyboardOnlyTest(unittest.TestCase):
    player = os.environ.get("SONAVEL_PLAYER", "")

    def setUp(self):
        self.folder = album_folder()
        self.sonavel = Sonavel(self.player, [os.path.join(self.folder, "b.mp3")])
        self.window_id = wait_for(self._window_id, "the X window")
        subprocess.run(["xdotool", "windowfocus", "--sync", self.window_id], check=True)

    def tearDown(self):
        self.sonavel.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def _window_id(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                str(self.sonavel.process.pid)], capture_output=True, text=True)
        ids = found.stdout.split()
        return ids[0] if ids else None

    def key(self, *names):
        subprocess.run(["xdotool", "key", "--clearmodifiers", *names], check=True)

    def focus_moves_to(self, name):
        wait_for(lambda: self.sonavel.focused_name() == name, "the focus on " + name)

    def tab_to(self, name):
        """Tabs on until `name` has the focus, from wherever it is."""
        for _ in range(12):
            if self.sonavel.focused_name() == name:
                return
            before = self.sonavel.focused()
            self.key("Tab")
            wait_for(lambda: self.sonavel.focused() != before, "the focus to move on")
        self.focus_moves_to(name)

    def test_tab_visits_every_control_once_in_order(self):
        sonavel = self.sonavel
        wait_for(sonavel.shown_playing, "playing")
        order = ["list", "Previous", "Next", "Position", "Open File", "Repeat", "Stop", "Play"]
        for name in order:
            self.key("Tab")
            self.focus_moves_to(name)
        # Round to the window's own keys, named after what plays, then the first control again.
        self.key("Tab")
        self.focus_moves_to("b.mp3")
        self.key("Tab")
        self.focus_moves_to("list")
        for name in ["b.mp3", *reversed(order)]:
            self.key("shift+Tab")
            self.focus_moves_to(name)

    def test_every_action_without_a_mouse(self):
        sonavel = self.sonavel
        wait_for(sonavel.shown_playing, "playing")
        events = Events("object:state-changed:showing", "object:property-change:accessible-value",
                        "object:state-changed:focused")
        self.addCleanup(events.close)
        said = events.said

        # The volume and the place, changed by keys, are said without the focus moving.
        self.key("Down")
        said("Volume 95 %")
        self.key("Right")
        said(re.compile(r"0:0[5-9] of 4:00"))
        self.focus_moves_to("b.mp3")
        # Space on a focused button presses it, and Enter too; the new state is said. The arrows
        # stay the window's.
        self.tab_to("Stop")
        self.key("Down")
        said("Volume 90 %")
        self.focus_moves_to("Stop")
        self.key("space")
        wait_for(lambda: not sonavel.shown_playing(), "stopped")
        self.tab_to("Play")
        self.key("Return")
        wait_for(sonavel.shown_playing, "playing")
        said("Playing")
        self.tab_to("Previous")
        self.key("Return")
        wait_for(lambda: sonavel.playing_rows() == ["1, a"], "the song before playing")
        said("a.mp3")
        self.tab_to("Repeat")
        self.key("Return")
        said("Repeat all")

        # Down and Enter in the list play the row the keyboard is on; at the list's end the
        # arrows stay in the list, and Space is play/pause.
        # Entering the list says the row that plays.
        self.tab_to("list")
        events.wait(lambda kind, role, name, detail: kind.endswith("focused") and detail == 1
                    and name == "1, a", "the playing row said")
        self.key("Down", "Return")
        wait_for(lambda: sonavel.playing_rows() == ["2, b"], "the second song playing")
        mark = len(events.seen)
        self.key("End", "Down", "Down", "space")
        said("Paused")
        self.assertFalse([event for event in events.seen[mark:] if event[2].startswith("Volume")])

        # Escape gives the window its keys back.
        self.key("Escape")
        self.focus_moves_to("b.mp3")

        # Once reached, the slider is not read aloud as playback moves it; a key's move is said
        # as the time, not as a number of seconds.
        self.key("space")
        said("Playing")
        slider = sonavel.control("slider", "Position")
        self.tab_to("Position")
        before = Atspi.Value.get_current_value(slider)
        events.seen.clear()
        wait_for(lambda: Atspi.Value.get_current_value(slider) > before + 1.5, "playback on")
        self.key("Right")
        wait_for(lambda: Atspi.Value.get_current_value(slider) >= before + 6.5,
                 "five seconds on")
        said(re.compile(r"\d:\d\d of 4:00"))
        self.assertFalse([event for event in events.seen if event[0].endswith("value")])
        # Leaving it, the knob catches up only once the focus has moved on: a reader still on
        # the slider would read the jump.
        moved = Atspi.Value.get_current_value(slider)
        wait_for(lambda: Atspi.Value.get_current_value(slider) > moved + 0.5, "playback on")
        mark = len(events.seen)
        self.key("Tab")
        events.wait(lambda kind, role, name, detail: kind.endswith("focused") and detail == 1
                    and name == "Open File", "the next control focused")
        focus_at = next(index for index, event in enumerate(events.seen) if index >= mark
                        and event[0].endswith("focused") and event[2] == "Open File")
        self.assertFalse([event for event in events.seen[mark:focus_at]
                          if event[0].endswith("value")])

    def test_full_screen_by_keys(self):
        self.sonavel.close()
        self.sonavel = Sonavel(self.player, [fixture("long.mp4")])
        subprocess.run(["xdotool", "windowfocus", "--sync", wait_for(self._window_id, "it")],
                       check=True)
        self.tab_to("Full Screen")
        self.key("Return")
        self.sonavel.control("push button", "Leave Full Screen")
        self.tab_to("Stop")
        # Escape leaves full screen and gives the window its keys back.
        self.key("Escape")
        self.sonavel.control("push button", "Full Screen")
        self.focus_moves_to("long.mp4")

    def test_track_choices_by_keys(self):
        self.sonavel.close()
        self.sonavel = Sonavel(self.player, [fixture("languages.mkv")])
        subprocess.run(["xdotool", "windowfocus", "--sync", wait_for(self._window_id, "it")],
                       check=True)
        wait_for(self.sonavel.shown_playing, "playing")
        events = Events("object:state-changed:showing", "object:state-changed:focused")
        self.addCleanup(events.close)
        # Shift+F10, for keyboards without a menu key; opened, it says where the keys are.
        self.key("shift+F10")
        events.wait(lambda kind, role, name, detail: kind.endswith("focused") and detail == 1
                    and role == "menu item" and name == "Subtitles", "the first item said")
        self.key("Right", "Return")
        events.said(re.compile("Subtitles: .+"))
        self.focus_moves_to("languages.mkv")

    def test_open_by_typing_a_name_in_the_readers_language(self):
        self.sonavel.close()
        self.sonavel = Sonavel(self.player, language="de")
        subprocess.run(["xdotool", "windowfocus", "--sync", wait_for(self._window_id, "it")],
                       check=True)
        self.sonavel.control("push button", "Datei öffnen...")
        self.key("ctrl+o")
        dialog = wait_for(lambda: Sonavel._first(self.sonavel.application, "dialog"), "the dialog")
        # Qt's own texts in the reader's language; the kinds of file, not their patterns.
        wait_for(lambda: [node for node in descendants(dialog)
                          if node.get_role_name() == "push button"
                          and node.get_name() == "Abbrechen"], "Cancel in German")
        kinds = wait_for(lambda: [node for node in descendants(dialog)
                                  if node.get_role_name() == "combo box"
                                  and node.get_name() == "Mediendateien"], "the kinds of file")
        self.assertNotIn("*", kinds[0].get_name())
        # Enter while the completion list is open: the window is active again afterwards.
        subprocess.run(["xdotool", "type", "--delay", "60", fixture("long.mp")], check=True)
        wait_for(lambda: [node for node in descendants(dialog) if node.get_role_name() == "list"
                          and node.get_child_count() > 1], "the completion list")
        self.key("Down", "Return")
        self.sonavel.control("push button", "Vollbild")
        wait_for(lambda: states(self.sonavel.window).contains(Atspi.StateType.ACTIVE),
                 "the window active")
        self.focus_moves_to("long.mp4")

    def test_offer_to_continue_a_film_by_keys(self):
        self.sonavel.close()
        film, state = film_left_at(self.folder, 120)
        self.sonavel = Sonavel(self.player, [film], state=state)
        subprocess.run(["xdotool", "windowfocus", "--sync", wait_for(self._window_id, "it")],
                       check=True)
        self.sonavel.control("push button", "Continue from 2:00")
        self.focus_moves_to("film.mkv")
        self.key("Tab")
        self.focus_moves_to("Continue from 2:00")
        self.key("Return")
        # Taken, and the keys are the window's again.
        self.focus_moves_to("film.mkv")
        self.assertFalse([node for node in self.sonavel.controls("push button")
                          if node.get_name() == "Continue from 2:00"])

    def test_a_click_beside_the_controls_gives_the_keys_back(self):
        sonavel = self.sonavel
        wait_for(sonavel.shown_playing, "playing")
        self.tab_to("Position")
        # The information column, below the playlist's right edge, away from every control.
        cover = sonavel.control("image", "Cover of Quiet Rooms")
        box = cover.get_extents(Atspi.CoordType.SCREEN)
        subprocess.run(["xdotool", "mousemove", str(box.x + box.width + 40),
                        str(box.y + box.height // 2), "click", "1"], check=True)
        self.focus_moves_to("b.mp3")


if __name__ == "__main__":
    unittest.main(verbosity=2)
