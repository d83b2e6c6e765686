#!/usr/bin/env python3
"""End-to-end tests of the Windows bundle, under Wine or on Windows itself
(tests/support/host_harness.py).

Each test case starts the bundle's lanternquill.exe with the simulated
engine's test port and trace switched on, drives it through the port and
checks the trace, the host's diagnostic lines, the window as another process
sees it, and (through the input probe's low-level hooks) the input that
really reached the desktop. On Windows a test that would change the
desktop's settings is skipped.

Usage: end_to_end_test.py --bundle DIR --probe EXE --messages EXE --work DIR
           [TestCase ...]
       end_to_end_test.py --bundle DIR --probe EXE --messages EXE --work DIR
           --exe EXE
"""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))

import desktop_shortcuts  # noqa: E402
import host_harness as harness  # noqa: E402
from host_harness import (CONFIG, Host, PrefixTestCase,  # noqa: E402
                          eventually, host_lines, windows_path)
import lanternquill_port as lq  # noqa: E402

# The exit code when every test asked for was skipped; CTest reports it so.
SKIPPED_EXIT_CODE = 77


def read_log(path):
    """The lines a program running under Wine has written to `path` so far
    (none before it creates the file)."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()
    except FileNotFoundError:
        return []


def calls(trace):
    return [entry["call"] for entry in trace]


class HostTestCase(PrefixTestCase):
    """With the input probe, which sees the host's window and input as
    another process does."""

    def run_tool(self, tool, *args):
        """The last line a test tool printed, as JSON, once it exited 0."""
        result = self.prefix.run([CONFIG[tool]] + list(args))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        return json.loads(result.stdout.decode().strip().splitlines()[-1])

    def probe(self, *args):
        return self.run_tool("probe", *args)

    def query_window(self):
        return self.probe("query")

    def assertEventuallyEqual(self, read, expected, timeout=30.0):
        """Waits, with a deadline, for `read()` to give `expected`; fails with
        the last value seen."""
        self.assertEqual(
            eventually(read, lambda value: value == expected, timeout),
            expected, "the value read last, after waiting %g s" % timeout)

    def await_window(self, done, timeout=30.0):
        """The host's window as the probe sees it, once it exists and
        `done(window)` holds or `timeout` seconds pass; the caller asserts on
        it. The X server maps, places and focuses windows in its own time."""
        return eventually(self.query_window,
                          lambda window: window["found"] and done(window),
                          timeout)

    def cursor(self):
        return self.query_window()["cursor"]


class StartupTest(HostTestCase):
    def test_starts_in_order_shows_after_next_frame_and_shuts_down(self):
        trace_dir = tempfile.mkdtemp(prefix="lq-e2e-", dir=CONFIG["work"])
        trace_path = os.path.join(trace_dir, "trace.jsonl")
        watched_path = os.path.join(trace_dir, "watched.json")
        with open(watched_path, "wb") as watched_file:
            watcher = self.prefix.popen(
                [CONFIG["probe"], "watch", windows_path(trace_path), "30000"],
                stdout=watched_file, stderr=subprocess.DEVNULL)
        self.addCleanup(watcher.kill)
        # A host started before the watcher looks could show its window
        # unseen.
        self.assertEqual(eventually(lambda: read_log(watched_path)[:1],
                                    lambda lines: lines == ["watching"]),
                         ["watching"])
        host = Host(self.prefix, CONFIG["bundle"], work=trace_dir)
        self.addCleanup(host.kill)
        host.connect()
        watcher.wait(timeout=60)
        watched = json.loads(read_log(watched_path)[-1])

        # The window exists hidden before the first frame and is visible only
        # once the engine has reported it.
        self.assertEqual(watched, {"seen_hidden": True,
                                   "next_frame_while_hidden": False,
                                   "next_frame_when_visible": True})

        window = self.await_window(
            lambda w: w["visible"] and w["rect"] == [10, 10, 1280, 720])
        self.assertEqual(window["class"], "FLUTTER_RUNNER_WIN32_WINDOW")
        self.assertEqual(window["title"], "Lanternquill")
        self.assertEqual(window["rect"], [10, 10, 1280, 720])
        self.assertTrue(window["visible"])
        self.assertTrue(window["has_child"])
        # The engine claims its own message; the host returns its answer.
        self.assertTrue(window["claimed_sent"])
        self.assertEqual(window["claimed_result"], 0x4C51)

        self.assertEqual(self.close_cleanly(host), (lq.STATUS_OK, b""))

        trace = host.trace()
        names = calls(trace)
        # The window is sized for its monitor's DPI before the engine starts.
        self.assertEqual(names[:2], ["FlutterDesktopGetDpiForMonitor",
                                     "FlutterDesktopEngineCreate"])
        create = trace[1]
        self.assertEqual(create["assets_path"], "data\\flutter_assets")
        self.assertEqual(create["icu_data_path"], "data\\icudtl.dat")
        self.assertEqual(create["aot_library_path"], "data\\app.so")
        self.assertEqual(create["entrypoint"], "")
        self.assertEqual(create["argc"], 0)
        self.assertIsNone(create["arguments"])

        controller = trace[names.index("FlutterDesktopViewControllerCreate")]
        self.assertEqual([controller["width"], controller["height"]],
                         window["client"])
        self.assertLess(controller["width"], 1280)
        self.assertLess(controller["height"], 720)

        # Registrar look-up and registration, plugin by plugin, in order.
        plugin_steps = [
            (e["call"], e.get("plugin"), e.get("registrar")) for e in trace
            if e["call"] == "FlutterDesktopEngineGetPluginRegistrar"
            or e["call"].endswith("RegisterWithRegistrar")]
        registrars = [e["registrar"] for e in trace
                      if e["call"] == "FlutterDesktopEngineGetPluginRegistrar"]
        self.assertEqual(len(registrars), 3)
        self.assertEqual(plugin_steps, [
            ("FlutterDesktopEngineGetPluginRegistrar",
             "ScreenRetrieverWindowsPluginCApi", registrars[0]),
            ("ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar", None,
             registrars[0]),
            ("FlutterDesktopEngineGetPluginRegistrar", "SystemTrayPlugin",
             registrars[1]),
            ("SystemTrayPluginRegisterWithRegistrar", None, registrars[1]),
            ("FlutterDesktopEngineGetPluginRegistrar", "WindowManagerPlugin",
             registrars[2]),
            ("WindowManagerPluginRegisterWithRegistrar", None, registrars[2]),
        ])

        set_callback = [i for i, e in enumerate(trace)
                        if e["call"] == "FlutterDesktopMessengerSetCallback"]
        self.assertEqual(len(set_callback), 1)
        self.assertEqual(trace[set_callback[0]]["channel"],
                         "com.lanternquill/input")
        self.assertIs(trace[set_callback[0]]["set"], True)
        order = [names.index("FlutterDesktopEngineCreate"),
                 names.index("FlutterDesktopViewControllerCreate"),
                 names.index("WindowManagerPluginRegisterWithRegistrar"),
                 names.index("FlutterDesktopViewGetHWND"),
                 set_callback[0],
                 names.index("FlutterDesktopEngineSetNextFrameCallback"),
                 names.index("FlutterDesktopViewControllerForceRedraw"),
                 names.index("NextFrameCallback")]
        self.assertEqual(order, sorted(order))

        self.assertEqual(names.count("FlutterDesktopViewControllerDestroy"), 1)
        self.assertNotIn("FlutterDesktopEngineDestroy", names)


class ArgumentsTest(HostTestCase):
    def test_passes_every_argument_as_utf8_in_order(self):
        arguments = ["two words", "z\u00fcrich \u2713 \U0001F600", "", "last"]
        host = self.start_host(arguments)
        host.connect()
        status, exit_code = host.close()
        self.assertEqual(exit_code, 0)
        create = [e for e in host.trace()
                  if e["call"] == "FlutterDesktopEngineCreate"][0]
        self.assertEqual(create["argc"], 4)
        self.assertEqual(create["arguments"], arguments)


class DpiTest(HostTestCase):
    prefix_name = "prefix-120dpi"

    @classmethod
    def prepare_prefix(cls):
        # Registry changes of the shared prefix would disturb other tests, so
        # this one has a prefix of its own, restarted to take the new DPI.
        cls.prefix.set_dword("HKCU\\Control Panel\\Desktop", "LogPixels", 120)
        cls.prefix.stop_server()

    def test_scales_the_window_to_120_dpi(self):
        host = self.start_host()
        host.connect()
        window = self.await_window(
            lambda w: w["visible"] and w["rect"] == [12, 12, 1600, 900])
        host.close()
        self.assertTrue(window["visible"])
        self.assertEqual(window["rect"], [12, 12, 1600, 900])
        controller = [e for e in host.trace()
                      if e["call"] == "FlutterDesktopViewControllerCreate"][0]
        self.assertEqual([controller["width"], controller["height"]],
                         window["client"])
        self.assertLess(controller["width"], 1600)
        self.assertLess(controller["height"], 900)


class FailureTest(HostTestCase):
    def test_exits_1_without_assets_and_registers_no_plugin(self):
        bundle = os.path.join(CONFIG["work"], "bundle-without-assets")
        shutil.rmtree(bundle, ignore_errors=True)
        shutil.copytree(CONFIG["bundle"], bundle)
        shutil.rmtree(os.path.join(bundle, "data", "flutter_assets"))
        host = self.start_host(bundle=bundle)
        self.assertEqual(host.wait(), 1)
        self.assertEqual(host_lines(host.stderr),
                         ["Failed to create view controller."])
        names = calls(host.trace())
        self.assertIn("FlutterDesktopViewControllerCreate", names)
        self.assertNotIn("FlutterDesktopEngineGetPluginRegistrar", names)
        self.assertFalse([n for n in names
                          if n.endswith("RegisterWithRegistrar")])
        self.assertNotIn("FlutterDesktopMessengerSetCallback", names)


# Key events as (virtual key, released) pairs; typed units as VK_PACKET.
VK_PACKET = 0xE7
WM_KEYUP, WM_SYSKEYUP = 0x101, 0x105
LLKHF_INJECTED = 0x10


def parse_events(lines):
    events = []
    for line in lines:
        parts = line.split()
        if not parts or parts[0] not in ("key", "mouse"):
            continue
        fields = {k: int(v, 16) if k in ("msg", "vk", "scan", "flags",
                                          "data") else int(v)
                  for k, v in (p.split("=") for p in parts[1:])}
        events.append((parts[0], fields))
    return events


# Windows reports the host's generic VK_SHIFT, VK_CONTROL and VK_MENU to a
# low-level hook by their left- or right-hand codes (key messages keep the
# generic one); this Wine reports them as sent. Both compare as generic.
GENERIC_MODIFIER = {0xA0 + i: 0x10 + i // 2 for i in range(6)}


def key_events(events):
    # Released by the message: Wine leaves LLKHF_UP clear on Unicode key-ups.
    return [(GENERIC_MODIFIER.get(f["vk"], f["vk"]), f["scan"],
             f["msg"] in (WM_KEYUP, WM_SYSKEYUP))
            for kind, f in events
            if kind == "key" and f["flags"] & LLKHF_INJECTED]


def mouse_events(events):
    # Cursor moves by SetCursorPos are not what the tests look at.
    return [(f["msg"], f["data"]) for kind, f in events
            if kind == "mouse" and f["msg"] != 0x200]


def press(*vks):
    """Key downs in order, then key ups in reverse."""
    return ([(vk, 0, False) for vk in vks] +
            [(vk, 0, True) for vk in reversed(vks)])


def invalid_args(message):
    return lq.error_bytes("INVALID_ARGS", message)


class InputChannelTest(HostTestCase):
    """Every method of the input channel through the port: the exact reply
    bytes, and the events the probe's hooks saw."""

    # Inside the host's client area: clicks there never land on a frame or
    # caption, whose clicks would start a move loop.
    START = [640, 400]

    def setUp(self):
        self.log = os.path.join(
            tempfile.mkdtemp(prefix="lq-e2e-", dir=CONFIG["work"]),
            "events.log")
        self.hooks = self.prefix.popen(
            [CONFIG["probe"], "hooks", windows_path(self.log)],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        self.addCleanup(self.stop_hooks)
        self.assertIn("ready", eventually(lambda: read_log(self.log),
                                          lambda lines: "ready" in lines))
        # Placed before the host's window exists: the events the X server
        # sends when it maps the window carry the pointer's position then, and
        # the host may handle them after its first move has already begun.
        self.place_cursor(*self.START)
        self.host = self.start_host()
        self.port = self.host.connect()
        window = self.await_window(
            lambda w: w["visible"] and w["cursor"] == self.START)
        self.assertTrue(window["visible"])
        self.assertEqual(window["cursor"], self.START)
        self.marks = 0
        self.new_events()

    def stop_hooks(self):
        self.hooks.stdin.close()
        if self.hooks.poll() is None:
            self.hooks.send_signal(signal.SIGTERM)
            try:
                self.hooks.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.hooks.kill()

    def new_events(self):
        """Events logged since the last call. The hooks log a marker after
        every event injected before it, so the marker's line closes the
        call's events however long the hooks take to see them."""
        self.marks += 1
        mark = "mark %d" % self.marks
        self.hooks.stdin.write((mark + "\n").encode())
        self.hooks.stdin.flush()
        lines = eventually(lambda: read_log(self.log),
                           lambda lines: mark in lines)
        self.assertIn(mark, lines)
        end = lines.index(mark)
        begin = (lines.index("mark %d" % (self.marks - 1))
                 if self.marks > 1 else 0)
        return parse_events(lines[begin:end])

    def call(self, method, arguments=None):
        return self.port.call(method, arguments)

    def place_cursor(self, x, y):
        """Puts the cursor at (x, y) from the probe, which waits until the
        position reads back."""
        self.assertEqual(self.probe("place", str(x), str(y))["cursor"],
                         [x, y])

    def test_every_method_replies_exactly_and_injects_what_it_says(self):
        # It presses Win+D, Ctrl+Win+Right and Win+Tab on the way.
        if harness.DESKTOP:
            shown = desktop_shortcuts.desktop_state()
            self.addCleanup(lambda: self.assertEqual(
                desktop_shortcuts.restore_desktop(shown), []))
        ok_null = (lq.STATUS_OK, lq.success_bytes(None))
        ok_true = (lq.STATUS_OK, lq.success_bytes(True))
        not_implemented = (lq.STATUS_OK, b"")
        self.assertEqual(ok_null, (0, b"\x00\x00"))
        self.assertEqual(ok_true, (0, b"\x00\x01"))

        table = [
            # method, arguments, reply, keys, mouse events
            ("checkAccessibility", None, ok_true, [], []),
            ("requestAccessibility", {"x": 1}, ok_true, [], []),
            ("pressKey", {"keyCode": 0x41, "modifiers": 0x20000 | 0x40000},
             ok_null, press(0x11, 0x10, 0x41), []),
            ("pressKey", {"keyCode": 0x41}, ok_null, press(0x41), []),
            ("mediaKey", {"keyCode": 0xB3}, ok_null, press(0xB3), []),
            ("gesture", {"gesture": "Next_Desktop"}, ok_null, [], []),
            ("pinchZoom", {"scale": 1.5}, ok_null, press(0x11, 0xBB), []),
            ("pinchZoom", {"scale": 0.5}, ok_null, press(0x11, 0xBD), []),
            ("pinchZoom", {"scale": 1.0}, ok_null, [], []),
            ("mouseClick", {"button": "left", "clicks": 2}, ok_null, [],
             [(0x201, 0), (0x202, 0), (0x201, 0), (0x202, 0)]),
            ("mouseClick", {"button": "right"}, ok_null, [],
             [(0x204, 0), (0x205, 0)]),
            ("mouseClick", None, ok_null, [], [(0x201, 0), (0x202, 0)]),
            ("mouseScroll", {"dx": 2, "dy": -3}, ok_null, [],
             [(0x20A, 0xFE980000), (0x20E, 0x00F00000)]),
            ("typeText", {"text": "A\u00fc\U0001F600"}, ok_null,
             [(VK_PACKET, 0x41, False), (VK_PACKET, 0x41, True),
              (VK_PACKET, 0xFC, False), (VK_PACKET, 0xFC, True),
              (VK_PACKET, 0xD83D, False), (VK_PACKET, 0xD83D, True),
              (VK_PACKET, 0xDE00, False), (VK_PACKET, 0xDE00, True)], []),
            ("mouseMove", {"dx": 1.0}, (0, invalid_args("Missing dx or dy")),
             [], []),
            ("mouseScroll", None, (0, invalid_args("Missing dx or dy")), [],
             []),
            ("typeText", "text", (0, invalid_args("Missing text")), [], []),
            ("pressKey", {}, (0, invalid_args("Missing keyCode")), [], []),
            ("mediaKey", {1: 0xB3}, (0, invalid_args("Missing keyCode")), [],
             []),
            ("gesture", None, (0, invalid_args("Missing gesture")), [], []),
            ("pinchZoom", {}, (0, invalid_args("Missing scale")), [], []),
            ("MouseClick", None, not_implemented, [], []),
            ("", None, not_implemented, [], []),
            # Last, as on Windows they hide the host from what follows.
            ("pressKey", {"keyCode": 0x44, "modifiers": 0x100000}, ok_null,
             press(0x5B, 0x44), []),
            ("gesture", {"gesture": "next_desktop"}, ok_null,
             press(0x11, 0x5B, 0x27), []),
            ("gesture", {"gesture": "mission_control"}, ok_null,
             press(0x5B, 0x09), []),
        ]
        for method, arguments, reply, keys, mouse in table:
            with self.subTest(method=method, arguments=arguments):
                self.assertEqual(self.call(method, arguments), reply)
                events = self.new_events()
                self.assertEqual(key_events(events), keys)
                self.assertEqual(mouse_events(events), mouse)
        self.close_cleanly(self.host)

    def test_moves_the_cursor_by_truncated_amounts(self):
        # Where the cursor is after each move, from the start. A position
        # that must not change cannot be waited for, so the last move comes
        # back to the start: a sub-pixel step that moved or accumulated would
        # leave it off by one.
        moves = [((37.9, -12.9), (37, -12)),
                 ((0.7, -0.7), (37, -12)),
                 ((0.7, -0.7), (37, -12)),
                 ((-37.0, 12.0), (0, 0))]
        for (dx, dy), (x, y) in moves:
            with self.subTest(dx=dx, dy=dy):
                self.assertEqual(self.call("mouseMove", {"dx": dx, "dy": dy}),
                                 (0, b"\x00\x00"))
                self.assertEventuallyEqual(
                    self.cursor, [self.START[0] + x, self.START[1] + y])

    def test_other_channels_and_undecodable_messages(self):
        # Only the exact channel name is served.
        call = lq.encode_method_call("checkAccessibility")
        self.assertEqual(
            self.port.message("com.lanternquill/Input", call), (1, b""))
        self.assertEqual(self.port.message("", call), (1, b""))
        # A message that is no method call gets its line and the empty reply.
        self.assertEqual(
            self.port.message(lq.INPUT_CHANNEL, b"\x03\x01\x00\x00\x00"),
            (0, b""))
        self.assertEqual(self.call("checkAccessibility"), (0, b"\x00\x01"))
        status, exit_code = self.host.close()
        self.assertEqual(exit_code, 0)
        # The codec names what is wrong, the channel what it gave up on.
        self.assertEqual(host_lines(self.host.stderr), [
            "Invalid method call; method name is not a string.",
            "Unable to construct method call from message on channel "
            "com.lanternquill/input",
        ])


WM_ACTIVATE, WA_ACTIVE, WM_FONTCHANGE = 0x0006, 1, 0x001D
FOCUS_CHANGES = ("ViewSetFocus", "ViewKillFocus")


class WindowMessageTest(HostTestCase):
    """Messages that another process posts to the host's window, seen in the
    engine's trace: the font reload and the keyboard focus of the engine's
    view."""

    def setUp(self):
        self.host = self.start_host()
        self.host.connect()
        # Once shown the host has started: the view is its focused child.
        self.assertTrue(eventually(
            lambda: self.query_window().get("visible"), bool))
        # Only the host can give the focus back to the view after this.
        self.assertEqual(self.probe("unfocus"), {"unfocused": True})
        self.assertEventuallyEqual(self.last_focus_change, "ViewKillFocus")

    def traced_calls(self):
        """The calls traced so far; a line still being written is left out."""
        with open(self.host.trace_path, encoding="utf-8") as f:
            lines = f.read().split("\n")[:-1]
        return [json.loads(line)["call"] for line in lines if line.strip()]

    def last_focus_change(self):
        changes = [c for c in self.traced_calls() if c in FOCUS_CHANGES]
        return changes[-1] if changes else None

    def post(self, *numbers):
        self.assertEqual(self.probe("post", *[str(n) for n in numbers]),
                         {"posted": True})

    def test_activation_gives_the_focus_to_the_engines_view(self):
        self.post(WM_ACTIVATE, WA_ACTIVE)
        self.assertEventuallyEqual(self.last_focus_change, "ViewSetFocus")
        self.close_cleanly(self.host)

    def test_a_font_change_reloads_the_fonts_exactly_once(self):
        reload = "FlutterDesktopEngineReloadSystemFonts"
        self.assertNotIn(reload, self.traced_calls())
        self.post(WM_FONTCHANGE)
        # Posted messages are handled in order: once the activation after it
        # has focused the view, the font change has been handled in full.
        self.post(WM_ACTIVATE, WA_ACTIVE)
        self.assertEventuallyEqual(self.last_focus_change, "ViewSetFocus")
        names = self.traced_calls()
        self.assertEqual(names.count(reload), 1)
        last_focus = len(names) - 1 - names[::-1].index("ViewSetFocus")
        self.assertLess(names.index(reload), last_focus)
        self.close_cleanly(self.host)


WM_QUERYENDSESSION, WM_ENDSESSION = 0x0011, 0x0016
ENDSESSION_CLOSEAPP = 0x1


class EndSessionTest(HostTestCase):
    """The host closes the normal way when the session ends or Restart
    Manager closes it for an update, and not when the end is cancelled."""

    def send(self, message, wparam, lparam):
        """The host's answer, once it has handled the message."""
        return self.run_tool("messages", "send", str(message), str(wparam),
                             str(lparam))["result"]

    def end_session(self):
        if harness.DESKTOP:
            self.skipTest("would end this desktop's session")
        # Into a file: a process it starts keeps a pipe open for a minute.
        result = self.prefix.run(["wineboot", "--end-session"])
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_closes_the_normal_way_only_when_the_session_ends(self):
        # Messages sent in turn with the answer expected to each; None checks
        # that the host still runs, answers and has shut nothing down.
        cases = [
            ("Restart Manager closes it",
             [(WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, 1),
              (WM_ENDSESSION, 1, ENDSESSION_CLOSEAPP, 0)]),
            ("cancelled ends, then a real one",
             [(WM_QUERYENDSESSION, 0, 0, 1), (WM_ENDSESSION, 0, 0, 0),
              (WM_ENDSESSION, 0, ENDSESSION_CLOSEAPP, 0), None,
              (WM_ENDSESSION, 1, 0, 0)]),
            ("the session ends", [self.end_session]),
        ]
        for name, steps in cases:
            with self.subTest(name):
                host = self.start_host()
                try:
                    self.check_closed_by(host, steps)
                finally:
                    # The next case must find its own host's window only.
                    host.kill()

    def check_closed_by(self, host, steps):
        destroy = "FlutterDesktopViewControllerDestroy"
        port = host.connect()
        self.assertTrue(eventually(
            lambda: self.query_window().get("visible"), bool))
        for step in steps:
            if step is None:
                self.assertIsNone(host.process.poll())
                self.assertEqual(port.call("checkAccessibility"),
                                 (lq.STATUS_OK, lq.success_bytes(True)))
                # As text: the trace may be half-way through a line.
                self.assertNotIn(destroy, Host.read_output(host.trace_path))
            elif callable(step):
                step()
            else:
                self.assertEqual(self.send(*step[:3]), step[3], step)
        port.disconnect()
        self.assertEqual(host.wait(), 0)
        self.assertEqual(host_lines(host.stderr), [])
        # The engine went with its view controller, last of all.
        names = calls(host.trace())
        self.assertEqual(names.count(destroy), 1)
        self.assertEqual(names[-1], destroy)
        self.assertNotIn("FlutterDesktopEngineDestroy", names)

    def test_registers_its_arguments_for_a_restart_after_an_update(self):
        if not harness.DESKTOP:
            # Measured: RegisterApplicationRestart succeeds and keeps nothing,
            # GetApplicationRestartSettings answers E_NOTIMPL.
            self.skipTest("Wine keeps no restart registration")
        arguments = ["two words", "", "z\u00fcrich", "last"]
        host = self.start_host(arguments)
        host.connect()
        self.assertTrue(eventually(
            lambda: self.query_window().get("visible"), bool))
        # The arguments as the host received them: as Python quoted them.
        # RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT.
        self.assertEqual(
            self.run_tool("messages", "restart-settings"),
            {"hresult": 0, "command_line": subprocess.list2cmdline(arguments),
             "flags": 11})
        self.assertEqual(host.close(), ((lq.STATUS_OK, b""), 0))


def main():
    parser = argparse.ArgumentParser()
    options = ("bundle", "probe", "messages", "work")
    for option in options:
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--exe", help="run this test program on the "
                        "private display and prefix instead")
    args, rest = parser.parse_known_args()
    CONFIG.update({o: os.path.abspath(getattr(args, o)) for o in options})
    os.makedirs(CONFIG["work"], exist_ok=True)
    if args.exe:
        sys.exit(harness.run_under_display(args.exe))
    result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2,
                           exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    # A class skipped as a whole counts as one skip and no test run.
    if result.skipped and len(result.skipped) >= result.testsRun:
        sys.exit(SKIPPED_EXIT_CODE)


if __name__ == "__main__":
    main()
