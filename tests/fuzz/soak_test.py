#!/usr/bin/env python3
"""Soak of the Windows host under Wine.

Starts the bundle's lanternquill.exe on a private display with the simulated
engine's test port, sends it a fixed mix of messages through the port: valid
calls, most of which inject nothing or little, and hostile ones (truncated and
bit-flipped calls, huge declared counts, deep nesting, empty messages, other
channels), and checks: every message got status 0 or 1, never 2; every valid
call got its exact reply; the host still runs and answers after the last
message; and, between the first 1,000 messages and the end, the resident
memory (VmRSS) and the private memory (VmData) of the Wine process that runs
lanternquill.exe grew by at most 10 MiB each and, when --handle-count names
the tool that reads it, the host's handle count by at most 16.

By default 65 % of the messages are hostile. The long run
(scripts/soak) sends 50,000 messages, 5 % hostile, with --inject: valid calls
of every method that move, click, scroll, type and press keys on the private
display.

Usage: soak_test.py --bundle DIR --work DIR [--messages N] [--seconds S]
                    [--hostile-share F] [--inject] [--handle-count EXE]
"""

import argparse
import collections
import os
import random
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))

import host_harness as harness  # noqa: E402
import lanternquill_port as lq  # noqa: E402

MIB = 1024 * 1024
BASELINE_AFTER = 1000
ALLOWED_GROWTH = 10 * MIB
# A handle leaked per call adds thousands; a few come and go with the host's
# own threads and caches.
ALLOWED_HANDLE_GROWTH = 16

OK_NULL = lq.success_bytes(None)
OK_TRUE = lq.success_bytes(True)
NOT_IMPLEMENTED = b""


def invalid_args(message):
    return lq.error_bytes("INVALID_ARGS", message)


# Calls whose effect on the desktop is nothing or one harmless event, with
# their exact replies.
VALID_CALLS = [
    ("checkAccessibility", None, OK_TRUE),
    ("requestAccessibility", {"any": [1, 2]}, OK_TRUE),
    ("mouseMove", {"dx": 0.0, "dy": 0.0}, OK_NULL),
    ("mouseClick", {"button": "left", "clicks": 0}, OK_NULL),
    ("mouseClick", {"clicks": -5}, OK_NULL),
    ("mouseScroll", {"dx": 0, "dy": 0}, OK_NULL),
    ("typeText", {"text": ""}, OK_NULL),
    ("pressKey", {"keyCode": 0, "modifiers": 0}, OK_NULL),
    ("mediaKey", {"keyCode": 0}, OK_NULL),
    ("gesture", {"gesture": "no_such_gesture"}, OK_NULL),
    ("gesture", {"gesture": ""}, OK_NULL),
    ("pinchZoom", {"scale": 1.0}, OK_NULL),
    ("mouseMove", {"dx": 1}, invalid_args("Missing dx or dy")),
    ("mouseClick", {"clicks": 1.5}, invalid_args("Invalid button or clicks")),
    ("mouseScroll", None, invalid_args("Missing dx or dy")),
    ("typeText", {"text": True}, invalid_args("Missing text")),
    ("pressKey", {"keyCode": lq.Int64(65)}, invalid_args("Missing keyCode")),
    ("mediaKey", "keyCode", invalid_args("Missing keyCode")),
    ("gesture", [], invalid_args("Missing gesture")),
    ("pinchZoom", {1: 1.5}, invalid_args("Missing scale")),
    ("MouseMove", {"dx": 0.0, "dy": 0.0}, NOT_IMPLEMENTED),
    ("", None, NOT_IMPLEMENTED),
]

# Calls that inject real, harmless input into the private display: moves of
# one pixel, clicks and scrolls where the cursor is, a few typed characters
# (the stand-in view keeps only the last ones), plain keys, a media key,
# desktop shortcuts that nothing under Wine acts on, and zoom steps.
INJECTING_CALLS = [
    ("mouseMove", {"dx": 1.0, "dy": -1.0}, OK_NULL),
    ("mouseMove", {"dx": -1.0, "dy": 1.0}, OK_NULL),
    ("mouseClick", None, OK_NULL),
    ("mouseClick", {"button": "right", "clicks": 1}, OK_NULL),
    ("mouseScroll", {"dx": 1, "dy": -1}, OK_NULL),
    ("typeText", {"text": "a\u00fc\U0001F600"}, OK_NULL),
    ("pressKey", {"keyCode": 0x41, "modifiers": 0}, OK_NULL),
    ("pressKey", {"keyCode": 0x08}, OK_NULL),
    ("mediaKey", {"keyCode": 0xB3}, OK_NULL),
    ("gesture", {"gesture": "mission_control"}, OK_NULL),
    ("gesture", {"gesture": "next_desktop"}, OK_NULL),
    ("pinchZoom", {"scale": 1.5}, OK_NULL),
    ("pinchZoom", {"scale": 0.5}, OK_NULL),
]

# Bases for bit flips. Clicks and keys are left out: a flipped click count
# could ask for a billion clicks (which the host would faithfully perform),
# and flipped key codes and modifiers could press Alt or Alt+F4 on the host's
# own window. Three flips cannot turn any of these into another method.
FLIP_BASES = [lq.encode_method_call(m, a) for m, a, _ in VALID_CALLS
              if m not in ("mouseClick", "pressKey", "mediaKey", "")]


def huge_counts():
    size = b"\xff\xff\xff\xff\x7f"
    return [
        b"\x07" + size,                                    # name string
        lq.encode_value("typeText") + b"\x0d" + size,      # argument map
        lq.encode_value("typeText") + b"\x0c" + size,      # argument list
        lq.encode_value("pinchZoom") + b"\x0b" + size + b"\x00" * 8,
        lq.encode_value("mediaKey") + b"\x08\xfe\xff\xff",
        lq.encode_value("gesture") + b"\x0d\x01\x07\x07gesture\x07" + size,
        b"\x0c\xff\x00\x00\x00\x40" + b"\x0c\xff\x00\x00\x00\x40" * 50,
    ]


def deep_nesting():
    key = b"\x0c\x01" * 60 + b"\x00"
    return [
        lq.encode_value("typeText") + b"\x0c\x01" * 100000 + b"\x00",
        lq.encode_value("typeText") + b"\x0d\x01\x00" * 3000 + b"\x00",
        # Two equal deeply nested keys: their comparison once took
        # exponential time.
        lq.encode_value("pressKey") + b"\x0d\x02" + (key + b"\x00") * 2,
    ]


class Mix:
    """The message sequence: (kind, channel, payload, expected reply)."""

    def __init__(self, seed, hostile_share=0.65, valid_calls=VALID_CALLS):
        self.rng = random.Random(seed)
        self.hostile = huge_counts() + deep_nesting()
        self.hostile_share = hostile_share
        self.valid_calls = valid_calls

    def message(self, index):
        rng = self.rng
        roll = rng.random()
        if roll < 1.0 - self.hostile_share:
            method, arguments, reply = rng.choice(self.valid_calls)
            return ("valid", lq.INPUT_CHANNEL,
                    lq.encode_method_call(method, arguments), reply)
        # The hostile kinds keep their proportions whatever their share:
        # the roll is mapped onto [0.35, 1) as for the default share.
        roll = 0.35 + 0.65 * (roll - (1.0 - self.hostile_share)) / \
            self.hostile_share
        if roll < 0.60:
            method, arguments, _ = rng.choice(VALID_CALLS)
            data = lq.encode_method_call(method, arguments)
            return ("truncated", lq.INPUT_CHANNEL,
                    data[:rng.randrange(len(data))], None)
        if roll < 0.85:
            data = bytearray(rng.choice(FLIP_BASES))
            for _ in range(rng.randint(1, 3)):
                data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
            return ("bit-flipped", lq.INPUT_CHANNEL, bytes(data), None)
        if roll < 0.90:
            # The 200 KB nesting message is kept rare to keep the run short.
            payload = self.hostile[index % len(self.hostile)]
            return ("hostile", lq.INPUT_CHANNEL, payload, None)
        if roll < 0.95:
            return ("empty", lq.INPUT_CHANNEL, b"", NOT_IMPLEMENTED)
        channel = rng.choice(["com.lanternquill/Input", "", "flutter/platform",
                              "com.lanternquill/input/"])
        return ("other-channel", channel,
                lq.encode_method_call("checkAccessibility"), None)


def descendants(pid):
    found = [pid]
    for current in found:
        try:
            tasks = os.listdir("/proc/%d/task" % current)
        except OSError:
            continue
        for task in tasks:
            try:
                with open("/proc/%d/task/%s/children" % (current, task)) as f:
                    found += [int(child) for child in f.read().split()]
            except OSError:
                pass
    return found


def host_memory(root_pid):
    """VmRSS and VmData in bytes, pid and command of the Linux process that
    runs lanternquill.exe. VmData, its private writable memory, is where
    Wine's committed memory lives: it stands for the private bytes that Wine
    (8.0) reports as 0."""
    for pid in descendants(root_pid):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                cmdline = f.read().lower()
            if b"lanternquill.exe" not in cmdline:
                continue
            with open("/proc/%d/status" % pid) as f:
                fields = dict(line.split(":", 1) for line in f if ":" in line)
            command = cmdline.split(b"\0")[0].decode("utf-8", "replace")
            return ({name: int(fields[name].split()[0]) * 1024
                     for name in ("VmRSS", "VmData")}, pid, command)
        except OSError:
            continue
    raise RuntimeError("no process runs lanternquill.exe")


def host_handles(prefix, tool):
    """The handles lanternquill.exe holds, as the Windows tool reads them."""
    result = prefix.run([tool, "lanternquill.exe"], timeout=60)
    words = result.stdout.decode("utf-8", "replace").split()
    if result.returncode != 0 or len(words) != 2 or words[0] != "handles":
        raise RuntimeError("%s failed: %r %r" % (tool, result.stdout,
                                                 result.stderr[-500:]))
    return int(words[1])


class Counters:
    """What the soak watches for leaks, read while the host runs."""

    # name, what it is, allowed growth, unit and its size
    LIMITS = [
        ("VmRSS", "resident memory (VmRSS)", ALLOWED_GROWTH, "MiB", MIB),
        ("VmData", "private memory (VmData)", ALLOWED_GROWTH, "MiB", MIB),
        ("handles", "handles", ALLOWED_HANDLE_GROWTH, "", 1),
    ]

    def __init__(self, prefix, process, handle_tool):
        self.prefix = prefix
        self.process = process
        self.handle_tool = handle_tool and os.path.abspath(handle_tool)
        self.source = None

    def read(self):
        values, pid, command = host_memory(self.process.pid)
        self.source = "pid %d (%s)" % (pid, command)
        if self.handle_tool:
            values["handles"] = host_handles(self.prefix, self.handle_tool)
        return values


def growth_report(baseline, final):
    """One line per counter with both values, and the failures."""
    lines, failures = [], []
    for name, what, limit, unit, size in Counters.LIMITS:
        if name not in baseline:
            continue
        growth = final[name] - baseline[name]

        def show(value, sign=""):
            return ("%" + sign + ".2f %s") % (value / size, unit) if unit \
                else ("%" + sign + "d") % value
        lines.append("%s: %s after %d messages, %s at the end, "
                     "growth %s (limit %s)" %
                     (what, show(baseline[name]), BASELINE_AFTER,
                      show(final[name]), show(growth, "+"), show(limit)))
        if growth > limit:
            failures.append("%s grew by %s" % (what, show(growth)))
    return lines, failures


def soak(port, counters, mix, count, deadline):
    kinds = collections.Counter()
    statuses = collections.Counter()
    failures = []
    baseline = None
    for index in range(count):
        if time.monotonic() > deadline:
            failures.append("out of time after %d messages" % index)
            break
        kind, channel, payload, expected = mix.message(index)
        status, reply = port.message(channel, payload)
        kinds[kind] += 1
        statuses[status] += 1
        if status not in (0, 1):
            failures.append("message %d (%s) got status %d: %s" %
                            (index, kind, status, payload[:48].hex()))
        elif kind == "other-channel" and status != 1:
            failures.append("message %d for channel %r got status %d" %
                            (index, channel, status))
        elif expected is not None and (status, reply) != (0, expected):
            failures.append("message %d (%s) %s got %r, expected %r" %
                            (index, kind, payload.hex(), (status, reply),
                             (0, expected)))
        if index + 1 == BASELINE_AFTER:
            baseline = counters.read()
    return kinds, statuses, failures, baseline


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bundle", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--messages", type=int, default=20000)
    parser.add_argument("--seconds", type=float, default=100.0)
    parser.add_argument("--hostile-share", type=float, default=0.65)
    parser.add_argument("--inject", action="store_true",
                        help="add valid calls that inject real input")
    parser.add_argument("--handle-count",
                        help="the Windows tool that reads the handle count")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    valid_calls = VALID_CALLS + (INJECTING_CALLS if args.inject else [])

    display = harness.Display()
    prefix = harness.Prefix(os.path.join(work, "prefix"), display)
    host = None
    try:
        # No trace: its writing would be part of what the soak measures.
        host = harness.Host(prefix, os.path.abspath(args.bundle), work=work,
                            trace=False)
        port = host.connect(timeout=30.0)
        counters = Counters(prefix, host.process, args.handle_count)
        start = time.monotonic()
        kinds, statuses, failures, baseline = soak(
            port, counters,
            Mix(seed=20000, hostile_share=args.hostile_share,
                valid_calls=valid_calls),
            args.messages, start + args.seconds)
        elapsed = time.monotonic() - start

        alive = host.process.poll() is None
        final_reply = port.call("checkAccessibility") if alive else None
        final = counters.read() if alive else None
        close_status = port.close_window() if alive else None
        port.disconnect()
        exit_code = host.wait()

        print("messages: %d in %.1f s (%.0f per second)" %
              (sum(kinds.values()), elapsed, sum(kinds.values()) / elapsed))
        for kind, n in sorted(kinds.items()):
            print("  %-14s %6d" % (kind, n))
        print("statuses: " + ", ".join("%d: %d" % item
                                       for item in sorted(statuses.items())))
        if baseline is not None and final is not None:
            lines, growth_failures = growth_report(baseline, final)
            print("the host, %s:" % counters.source)
            for line in lines:
                print("  " + line)
            failures += growth_failures
        else:
            failures.append("the counters were not read")
        print("after the last message: running %s, reply %r, close %r, "
              "exit code %s" % (alive, final_reply, close_status, exit_code))

        if not alive:
            failures.append("the host is not running after the soak")
        elif final_reply != (0, OK_TRUE):
            failures.append("the host did not answer after the soak")
        if exit_code != 0:
            failures.append("the host exited with %s" % exit_code)
        for failure in failures[:20]:
            print("FAIL: " + failure)
        if len(failures) > 20:
            print("... %d failures in all" % len(failures))
        return 1 if failures else 0
    finally:
        if host is not None:
            host.kill()
        prefix.stop_server()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
