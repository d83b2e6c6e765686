#!/usr/bin/env python3
"""Hostile-input soak of the Windows host under Wine.

Starts the bundle's lanternquill.exe on a private display with the simulated
engine's test port, sends it a fixed mix of messages through the port (valid
calls that inject nothing or little, truncated and bit-flipped calls, huge
declared counts, deep nesting, empty messages, other channels), and checks:
every message got status 0 or 1, never 2; every valid call got its exact
reply; the host still runs and answers after the last message; and the
resident memory of the Wine process that runs lanternquill.exe (VmRSS from
/proc) grew by at most 10 MiB between the first 1,000 messages and the end.

Usage: soak_test.py --bundle DIR --work DIR [--messages N] [--seconds S]
"""

import argparse
import collections
import os
import random
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
sys.path.insert(0, os.path.join(ROOT, "tests", "host"))

import end_to_end_test as e2e  # noqa: E402
import lanternquill_port as lq  # noqa: E402

MIB = 1024 * 1024
BASELINE_AFTER = 1000
ALLOWED_GROWTH = 10 * MIB

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

    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.hostile = huge_counts() + deep_nesting()

    def message(self, index):
        rng = self.rng
        roll = rng.random()
        if roll < 0.35:
            method, arguments, reply = rng.choice(VALID_CALLS)
            return ("valid", lq.INPUT_CHANNEL,
                    lq.encode_method_call(method, arguments), reply)
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


def host_rss(root_pid):
    """VmRSS in bytes, pid and command of the Linux process that runs
    lanternquill.exe."""
    for pid in descendants(root_pid):
        try:
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                cmdline = f.read().lower()
            if b"lanternquill.exe" not in cmdline:
                continue
            with open("/proc/%d/status" % pid) as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        command = cmdline.split(b"\0")[0].decode(
                            "utf-8", "replace")
                        return int(line.split()[1]) * 1024, pid, command
        except OSError:
            continue
    raise RuntimeError("no process runs lanternquill.exe")


def soak(port, process, mix, count, deadline):
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
            baseline = host_rss(process.pid)
    return kinds, statuses, failures, baseline


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bundle", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--messages", type=int, default=20000)
    parser.add_argument("--seconds", type=float, default=100.0)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)

    display = e2e.Display()
    prefix = e2e.Prefix(os.path.join(work, "prefix"), display)
    stderr_path = os.path.join(work, "soak-host-stderr.txt")
    process = None
    try:
        port_number = lq.free_port()
        # The host's diagnostic lines go to a file: a pipe nobody reads would
        # fill up and stall the host.
        with open(stderr_path, "wb") as stderr_file:
            process = prefix.popen(
                [os.path.join(os.path.abspath(args.bundle),
                              "lanternquill.exe")],
                extra_env={"LANTERNQUILL_ENGINE_PORT": str(port_number)},
                stdout=subprocess.DEVNULL, stderr=stderr_file)
        port = lq.EnginePort(port_number, timeout=30.0)
        start = time.monotonic()
        kinds, statuses, failures, baseline = soak(
            port, process, Mix(seed=20000), args.messages,
            start + args.seconds)
        elapsed = time.monotonic() - start

        alive = process.poll() is None
        final_reply = port.call("checkAccessibility") if alive else None
        final_rss, host_pid, command = (host_rss(process.pid) if alive else
                                        (None, None, None))
        close_status = port.close_window() if alive else None
        port.disconnect()
        exit_code = process.wait(timeout=60)

        print("messages: %d in %.1f s (%.0f per second)" %
              (sum(kinds.values()), elapsed, sum(kinds.values()) / elapsed))
        for kind, n in sorted(kinds.items()):
            print("  %-14s %6d" % (kind, n))
        print("statuses: " + ", ".join("%d: %d" % item
                                       for item in sorted(statuses.items())))
        if baseline is not None and final_rss is not None:
            print("VmRSS of pid %d (%s): %.1f MiB after %d messages, "
                  "%.1f MiB at the end, growth %+.2f MiB (limit 10 MiB)" %
                  (host_pid, command, baseline[0] / MIB, BASELINE_AFTER,
                   final_rss / MIB, (final_rss - baseline[0]) / MIB))
        print("after the last message: running %s, reply %r, close %r, "
              "exit code %s" % (alive, final_reply, close_status, exit_code))

        if not alive:
            failures.append("the host is not running after the soak")
        elif final_reply != (0, OK_TRUE):
            failures.append("the host did not answer after the soak")
        if baseline is None or final_rss is None:
            failures.append("memory was not measured")
        elif final_rss - baseline[0] > ALLOWED_GROWTH:
            failures.append("resident memory grew by %.1f MiB" %
                            ((final_rss - baseline[0]) / MIB))
        if exit_code != 0:
            failures.append("the host exited with %s" % exit_code)
        for failure in failures[:20]:
            print("FAIL: " + failure)
        if len(failures) > 20:
            print("... %d failures in all" % len(failures))
        return 1 if failures else 0
    finally:
        if process is not None and process.poll() is None:
            process.kill()
            process.wait()
        prefix.stop_server()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
