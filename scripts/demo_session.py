#!/usr/bin/env python3
"""The scripted session of scripts/demo: starts the bundle's lanternquill.exe
under Wine (display and prefix come from the environment), drives it through
the simulated engine's test port, prints every call with its decoded reply,
takes a screenshot and closes the window. Standard library only."""

import argparse
import math
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lanternquill_port as lq  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE_RUN = os.path.join(ROOT, "cmake", "wine-run")


def readable(value):
    if isinstance(value, dict):
        return "{" + ", ".join("%s: %s" % (readable(k), readable(v))
                               for k, v in value.items()) + "}"
    if isinstance(value, str):
        return '"%s"' % value
    if value is None:
        return "null"
    if value is True or value is False:
        return str(value).lower()
    return repr(value)


def describe(status, data):
    if status == lq.STATUS_NO_CALLBACK:
        return "no handler on that channel"
    if status == lq.STATUS_NO_RESPONSE:
        return "no response"
    reply = lq.decode_reply(data)
    if reply[0] == "success":
        return "success %s" % readable(reply[1])
    if reply[0] == "error":
        return "error %s: %s" % (reply[1], reply[2])
    return "not implemented"


class Session:
    def __init__(self, port):
        self.port = port
        self.count = 0

    def call(self, method, arguments=None, quiet=False):
        status, data = self.port.call(method, arguments)
        self.count += 1
        if not quiet:
            shown = "" if arguments is None else " " + readable(arguments)
            print("%3d  -> %s%s" % (self.count, method, shown))
            print("     <- %s   [%s]" % (describe(status, data),
                                         data.hex(" ") or "empty"))
        return status, data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bundle", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    screenshot = os.path.join(args.out, "screenshot.png")
    port_number = lq.free_port()

    env = dict(os.environ, LANTERNQUILL_ENGINE_PORT=str(port_number),
               LANTERNQUILL_ENGINE_TRACE="Z:" + os.path.abspath(
                   os.path.join(args.out, "trace.jsonl")).replace("/", "\\"))
    exe = os.path.join(os.path.abspath(args.bundle), "lanternquill.exe")
    print("Starting %s on display %s" % (exe, os.environ.get("DISPLAY")))
    # stderr to a file, not a pipe: helpers Wine starts for the host inherit
    # it and may outlive the host, and a pipe would wait for them.
    stderr_path = os.path.join(args.out, "host-stderr.txt")
    with open(stderr_path, "wb") as stderr_file:
        host = subprocess.Popen([WINE_RUN, exe, "--demo"], env=env,
                                stderr=stderr_file)
    port = lq.EnginePort(port_number)
    session = Session(port)
    time.sleep(2)  # let the first frame show the window

    print("\n== Accessibility")
    session.call("checkAccessibility")

    # Typed while the view still has the focus it got at start-up: in Wine's
    # virtual desktop a synthesized click can move the focus off the window.
    print("\n== Typing into the focused view")
    session.call("typeText",
                 {"text": "Hello from Lanternquill: \u00fcn\u00efc\u00f6d"
                          "\u00e9 \u2713 \U0001F600"})

    print("\n== Cursor: into the window, then a circle and a square")
    session.call("mouseMove", {"dx": -5000.0, "dy": -5000.0})
    session.call("mouseMove", {"dx": 640.0, "dy": 420.0})
    radius, steps = 120, 24
    for i in range(steps):
        a0 = 2 * math.pi * i / steps
        a1 = 2 * math.pi * (i + 1) / steps
        session.call("mouseMove",
                     {"dx": radius * (math.cos(a1) - math.cos(a0)),
                      "dy": radius * (math.sin(a1) - math.sin(a0))},
                     quiet=i not in (0, steps - 1))
        time.sleep(0.03)
    print("     ... %d moves around a circle" % steps)
    for dx, dy in ((80.0, 0.0), (0.0, 80.0), (-80.0, 0.0), (0.0, -80.0)):
        session.call("mouseMove", {"dx": dx, "dy": dy})

    print("\n== Clicks")
    session.call("mouseClick", {"button": "left", "clicks": 1})
    session.call("mouseClick", {"button": "left", "clicks": 2})

    print("\n== Scrolling")
    session.call("mouseScroll", {"dx": 0, "dy": -3})
    session.call("mouseScroll", {"dx": 2, "dy": 0})

    print("\n== Keys")
    session.call("pressKey", {"keyCode": 0x41, "modifiers": 0x40000})
    session.call("mediaKey", {"keyCode": 0xB3})
    session.call("gesture", {"gesture": "show_desktop"})
    session.call("pinchZoom", {"scale": 1.25})
    session.call("pinchZoom", {"scale": 0.8})

    print("\n== A bad call")
    session.call("mouseMove", {"dx": 5.0})

    time.sleep(1.5)
    subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window",
                    "root", screenshot], check=True)
    print("\nScreenshot: %s" % screenshot)

    status, _ = port.close_window()
    port.disconnect()
    host.wait(timeout=60)
    print("Close request status %d; lanternquill.exe exited with code %d"
          % (status, host.returncode))
    return 0 if host.returncode == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
