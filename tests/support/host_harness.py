"""Runs the Windows bundle's programs for the tests: under Wine, each on a
private X display and in a private Wine prefix, or on Windows itself, where
programs start directly on the user's own desktop. Shared by the end-to-end,
soak and release tests."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

import lanternquill_port as lq  # noqa: E402

WINE_RUN = os.path.join(ROOT, "cmake", "wine-run")
# "work": the folder for prefixes and hosts' output; "bundle": the host's.
CONFIG = {}
# On Windows itself there is no Wine: the programs run on this desktop.
DESKTOP = sys.platform == "win32"

# Lines Wine itself writes on stderr; they are not the host's.
WINE_NOISE = (
    "it looks like wine32 is missing",
    "multiarch needs to be enabled",
    'execute "dpkg --add-architecture',
    "apt-get install wine32",
    "wine: created the configuration directory",
    "wine: configuration in",
    "rundll32.exe",
)


def host_lines(stderr_text):
    """The diagnostic lines of the host (and engine), Wine's own dropped."""
    lines = []
    for line in stderr_text.splitlines():
        if not line.strip():
            continue
        if any(noise in line for noise in WINE_NOISE):
            continue
        if line.startswith("wine:") or ":fixme:" in line or ":err:" in line:
            continue
        lines.append(line)
    return lines


def eventually(read, done, timeout=30.0, interval=0.05):
    """Reads a state that another process or the X server sets in its own time
    until `done(value)` holds or `timeout` seconds pass, and returns the last
    value read: the caller asserts on it exactly as it would on one read."""
    deadline = time.monotonic() + timeout
    value = read()
    while not done(value) and time.monotonic() < deadline:
        time.sleep(interval)
        value = read()
    return value


def windows_path(path):
    if DESKTOP:
        return os.path.abspath(path)
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def parse_reg_query(text):
    """`reg query KEY /s` output as {key: {value name: data}}. Values are
    indented by four spaces and their fields separated by four; a value with
    empty data has no third field."""
    found, current = {}, None
    for line in text.splitlines():
        if line.startswith("HKEY_"):
            current = found.setdefault(line.strip(), {})
        elif line.startswith("    ") and current is not None:
            fields = line.strip().split("    ")
            if len(fields) >= 2 and fields[1].startswith("REG_"):
                current[fields[0]] = "    ".join(fields[2:])
    return found


class Display:
    """A private Xvfb, so nothing reaches the user's desktop and no other test
    moves this display's cursor. On a real desktop, nothing."""

    def __init__(self):
        self.process = None
        self.name = None
        if DESKTOP:
            return
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "1920x1080x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()

    def stop(self):
        if self.process is not None:
            self.process.terminate()
            self.process.wait(timeout=10)


class Prefix:
    """A Wine prefix of the tests' own; its server is stopped at the end. On a
    real desktop, the user's own system, which the tests leave as it is."""

    def __init__(self, path, display, fresh=False):
        self.path = path
        self.display = display
        if DESKTOP:
            return
        if fresh:
            # Nothing that an earlier run installed may decide this one.
            self.stop_server()
            shutil.rmtree(path, ignore_errors=True)
        if not os.path.exists(os.path.join(path, "system.reg")):
            os.makedirs(path, exist_ok=True)
            self.run(["wineboot", "-i"], timeout=300)

    def env(self, extra=None):
        env = dict(os.environ)
        if not DESKTOP:
            env.update({"LQ_WINEPREFIX": self.path, "WINEPREFIX": self.path,
                        "DISPLAY": self.display.name})
        env.update(extra or {})
        return env

    def run(self, args, timeout=120, extra_env=None):
        """Runs a Windows program to its end. Its output is collected in
        files: Wine's helper processes inherit a program's standard handles
        and may outlive it, so the end of a pipe says nothing about the
        program's own end."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = self.call(args, timeout, extra_env, stdout=out, stderr=err)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, code, out.read(),
                                               err.read())

    def call(self, args, timeout, extra_env=None, **kwargs):
        """The exit code of a Windows program run to its end; one that still
        runs after timeout seconds is killed."""
        process = self.popen(args, extra_env, **kwargs)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise

    def popen(self, args, extra_env=None, **kwargs):
        runner = [] if DESKTOP else [WINE_RUN]
        return subprocess.Popen(runner + args, env=self.env(extra_env),
                                **kwargs)

    def stop_server(self):
        if DESKTOP:
            return
        for flag in ("-k", "-w"):
            subprocess.run(["wineserver", flag], env=self.env(),
                           stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)

    def set_dword(self, key, name, value):
        if DESKTOP:
            # The user's own settings are not the tests' to change.
            raise unittest.SkipTest(
                "needs %s\\%s set to %d and the window system restarted, "
                "which only a Wine prefix of the tests' own allows" %
                (key, name, value))
        self.run(["reg", "add", key, "/v", name, "/t", "REG_DWORD", "/d",
                  str(value), "/f"])


class Host:
    """One run of lanternquill.exe with the engine's port on, and its trace
    unless a long run would fill the disk with it.

    Its output goes to files, not pipes: helper processes that Wine starts
    on the host's behalf inherit its standard handles and may outlive it, and
    waiting for a pipe to close would wait for them too."""

    def __init__(self, prefix, bundle, args=(), work=None, creationflags=0,
                 trace=True):
        self.work = work or tempfile.mkdtemp(prefix="lq-e2e-",
                                             dir=CONFIG["work"])
        self.trace_path = os.path.join(self.work, "trace.jsonl")
        self.stdout_path = os.path.join(self.work, "stdout.txt")
        self.stderr_path = os.path.join(self.work, "stderr.txt")
        self.port_number = lq.free_port()
        env = {"LANTERNQUILL_ENGINE_PORT": str(self.port_number)}
        if trace:
            env["LANTERNQUILL_ENGINE_TRACE"] = windows_path(self.trace_path)
        with open(self.stdout_path, "wb") as out, \
                open(self.stderr_path, "wb") as err:
            self.process = prefix.popen(
                [os.path.join(bundle, "lanternquill.exe")] + list(args),
                extra_env=env, stdout=out, stderr=err,
                creationflags=creationflags)
        self.port = None
        self.stdout = ""
        self.stderr = ""

    def connect(self, timeout=60.0):
        self.port = lq.EnginePort(self.port_number, timeout=timeout)
        return self.port

    def close(self, timeout=60):
        status = self.port.close_window()
        self.port.disconnect()
        return status, self.wait(timeout)

    def wait(self, timeout=60):
        try:
            self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(
                "lanternquill.exe still runs %d s after it was asked to "
                "end; its stderr so far:\n%s\nlast trace entries:\n%s" %
                (timeout, self.read_output(self.stderr_path),
                 "\n".join(self.trace_tail()))) from None
        self.stdout = self.read_output(self.stdout_path)
        self.stderr = self.read_output(self.stderr_path)
        return self.process.returncode

    @staticmethod
    def read_output(path):
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def trace_tail(self, count=10):
        try:
            with open(self.trace_path, encoding="utf-8") as f:
                return f.read().splitlines()[-count:]
        except OSError:
            return []

    def kill(self):
        if self.port is not None:
            self.port.disconnect()
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def trace(self):
        with open(self.trace_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]


class PrefixTestCase(unittest.TestCase):
    """Test cases that share a display and a prefix, named prefix_name
    under the work folder, made anew for each class if fresh_prefix."""

    prefix_name = "prefix"
    fresh_prefix = False

    @classmethod
    def setUpClass(cls):
        cls.display = Display()
        cls.prefix = Prefix(os.path.join(CONFIG["work"], cls.prefix_name),
                            cls.display, cls.fresh_prefix)
        cls.prepare_prefix()

    @classmethod
    def prepare_prefix(cls):
        pass

    @classmethod
    def tearDownClass(cls):
        cls.prefix.stop_server()
        cls.display.stop()

    def start_host(self, args=(), bundle=None):
        host = Host(self.prefix, bundle or CONFIG["bundle"], args)
        self.addCleanup(host.kill)
        return host

    def close_cleanly(self, host):
        """Closes the host through its port, which must end it with exit
        code 0 and no line of its own; the answer to the close."""
        status, exit_code = host.close()
        self.assertEqual(exit_code, 0)
        self.assertEqual(host_lines(host.stderr), [])
        return status


def run_under_display(exe):
    """Runs a test program on a display and in a prefix of its own; its
    exit code."""
    display = Display()
    prefix = Prefix(os.path.join(CONFIG["work"], "prefix"), display)
    try:
        return prefix.call([exe], timeout=240)
    finally:
        prefix.stop_server()
        display.stop()
