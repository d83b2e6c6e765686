#!/usr/bin/env python3
"""The release as a user gets it, on Windows itself (or under Wine): installs
the first package, runs the installed lanternquill.exe and checks the reply to
one input call byte for byte, upgrades to the second package while that host
runs, uninstalls, and checks that no file, Start-menu shortcut, Run value or
"Installed apps" entry is left.

On Windows it changes the signed-in user's own installation and desktop, so
it is meant for a machine that is thrown away afterwards (CI). Elsewhere it
runs the same steps through Wine in a fresh private prefix and display.

Usage: windows_release_test.py --first DIR --first-version V
                               --second DIR --second-version V
                               --work DIR
Each DIR holds one package, Lanternquill-<V>.msi or Lanternquill-<V>-*.msi.
msiexec's verbose logs go to logs/ in the --work folder, the host's output
to a folder of its own there.
"""

import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))

import host_harness as harness  # noqa: E402
from host_harness import parse_reg_query  # noqa: E402
import lanternquill_port as lq  # noqa: E402
from product_identity import PRODUCT, STAND_IN_PRODUCT  # noqa: E402

RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
UNINSTALL_KEYS = (
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
)
# Where Windows Installer keeps the "Installed apps" data of a per-user
# product: one subkey per user's SID.
USER_DATA_KEY = ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                 "Installer\\UserData")
# The product as Windows Installer itself knows it for this user.
USER_PRODUCTS_KEY = "HKCU\\Software\\Microsoft\\Installer\\Products"
# How "Installed apps" names a release and a package built with stand-ins.
PRODUCT_NAMES = (PRODUCT, STAND_IN_PRODUCT)
PROBE_CALL = "checkAccessibility"
PROBE_REPLY = (lq.STATUS_OK, lq.success_bytes(True))
# Per process; a step as a whole has the CI step's limit on top.
MSIEXEC_TIMEOUT = 600
QUERY_TIMEOUT = 60
HOST_TIMEOUT = 60
# On a freshly booted Windows msiexec may exit 1618 (another installation in
# progress) at once: it is tried again after each pause, in seconds.
MSIEXEC_BUSY_PAUSES = (10, 20, 40, 80)
# As from the Start menu, with no console to join (AttachConsole) that Restart
# Manager might take for a console program's; under Wine it has none anyway.
DETACHED_PROCESS = 0x00000008


class Failure(Exception):
    """Which step went wrong and how, for the log."""


def find_msi(folder, version):
    """The one installer of `version` in `folder`, found as
    Lanternquill-<version>*.msi: the plain name or a variant such as
    Lanternquill-<version>-stand-in.msi, never another version that merely
    starts with the same digits (1.0.0.10 for 1.0.0.1)."""
    stem = "Lanternquill-" + version
    found = sorted(
        name for name in os.listdir(folder)
        if name == stem + ".msi" or
        (name.startswith(stem + "-") and name.endswith(".msi")))
    if len(found) != 1:
        raise Failure("expected one %s*.msi in %s, found %s" % (
            stem, folder, ", ".join(found) or "none"))
    return os.path.join(folder, found[0])


# What msiexec's exit codes that a run here may meet mean.
MSIEXEC_EXITS = {
    1602: "cancelled",
    1603: "fatal error during installation",
    1618: "another installation is already in progress",
    1619: "the package could not be opened",
    1638: "another version of this product is already installed",
    3010: "a restart is required to complete the installation",
}


def describe_msiexec_exit(code, under_wine):
    """An exit code with its meaning. Wine passes a Windows program's exit
    code to Linux, which keeps its low eight bits only: 3010 arrives as
    194."""
    if under_wine:
        known = [c for c in sorted(MSIEXEC_EXITS) if c & 0xFF == code]
    else:
        known = [c for c in (code,) if c in MSIEXEC_EXITS]
    return "%d%s" % (code, "".join(
        " (%s%s)" % ("" if c == code else "%d, " % c, MSIEXEC_EXITS[c])
        for c in known))


def installer_version(version):
    """The version Windows Installer (and "Installed apps") shows for a
    four-part release version: major.minor.(patch * 1000 + build)."""
    major, minor, patch, build = (int(p) for p in version.split("."))
    return "%d.%d.%d" % (major, minor, patch * 1000 + build)


def windows_processes(exe):
    """The IDs of the processes whose image is `exe`, on Windows. Only the
    path tells the installed host from the build's own, which other tests
    run."""
    import ctypes
    from ctypes import wintypes
    kernel32 = ctypes.WinDLL("kernel32", use_last_error=True)
    kernel32.K32EnumProcesses.argtypes = (
        ctypes.POINTER(wintypes.DWORD), wintypes.DWORD,
        ctypes.POINTER(wintypes.DWORD))
    kernel32.OpenProcess.argtypes = (wintypes.DWORD, wintypes.BOOL,
                                     wintypes.DWORD)
    kernel32.OpenProcess.restype = wintypes.HANDLE
    kernel32.QueryFullProcessImageNameW.argtypes = (
        wintypes.HANDLE, wintypes.DWORD, wintypes.LPWSTR,
        ctypes.POINTER(wintypes.DWORD))
    kernel32.CloseHandle.argtypes = (wintypes.HANDLE,)
    process_query_limited_information = 0x1000

    count = 1024
    while True:
        pids = (wintypes.DWORD * count)()
        used = wintypes.DWORD()
        if not kernel32.K32EnumProcesses(pids, ctypes.sizeof(pids),
                                         ctypes.byref(used)):
            raise ctypes.WinError(ctypes.get_last_error())
        # A full array may have been too small.
        if used.value < ctypes.sizeof(pids):
            break
        count *= 2
    wanted = os.path.normcase(os.path.realpath(exe))
    found = []
    for pid in pids[:used.value // ctypes.sizeof(wintypes.DWORD)]:
        handle = kernel32.OpenProcess(process_query_limited_information,
                                      False, pid)
        if not handle:
            continue
        try:
            image = ctypes.create_unicode_buffer(32768)
            size = wintypes.DWORD(len(image))
            if (kernel32.QueryFullProcessImageNameW(handle, 0, image,
                                                    ctypes.byref(size)) and
                    os.path.normcase(os.path.realpath(image.value)) ==
                    wanted):
                found.append(pid)
        finally:
            kernel32.CloseHandle(handle)
    return sorted(found)


def format_reply(reply):
    status, data = reply
    return "status %d, bytes [%s]" % (status, data.hex(" "))


def reply_problems(reply):
    """Lines for a reply to the probe call that is not exactly the expected
    one; none for the right reply."""
    if reply == PROBE_REPLY:
        return []
    return ["%s replied %s; expected %s" % (
        PROBE_CALL, format_reply(reply), format_reply(PROBE_REPLY))]


def leftovers(state):
    """Lines naming everything an uninstall left behind, from a snapshot
    (see Machine.snapshot); none for a clean machine."""
    lines = ["file left: %s" % path for path in state["files"]]
    if state["shortcut"]:
        lines.append("Start-menu shortcut left: %s" % state["shortcut"])
    if state["run_value"] is not None:
        lines.append('Run value "%s" left: %s' % (PRODUCT, state["run_value"]))
    lines += ["Installed apps entry left: %s (version %s)" % entry
              for entry in state["apps"]]
    lines += ["process left running: lanternquill.exe (pid %d)" % pid
              for pid in state["processes"]]
    return lines


class Machine:
    """The Windows the packages are installed on: this one, or a fresh Wine
    prefix on a private display."""

    def __init__(self, work, logs):
        self.work = work
        self.logs = logs
        self.display = harness.Display()
        if harness.DESKTOP:
            self.prefix = harness.Prefix(None, self.display)
            # Long names, as Windows Installer writes them into the Run
            # value, even where the environment holds short ones.
            local = os.path.realpath(os.environ["LOCALAPPDATA"])
            roaming = os.path.realpath(os.environ["APPDATA"])
            local_windows = local
        else:
            path = os.path.join(work, "prefix")
            self.prefix = harness.Prefix(path, self.display, fresh=True)
            users = os.path.join(path, "drive_c", "users")
            [user] = [u for u in os.listdir(users) if u != "Public"]
            local = os.path.join(users, user, "AppData", "Local")
            roaming = os.path.join(users, user, "AppData", "Roaming")
            local_windows = "C:\\users\\%s\\AppData\\Local" % user
        self.install_dir = os.path.join(local, "Programs", PRODUCT)
        # As Windows programs see it, for the Run value.
        self.exe_windows = "\\".join([local_windows, "Programs", PRODUCT,
                                       "lanternquill.exe"])
        self.shortcut = os.path.join(roaming, "Microsoft", "Windows",
                                     "Start Menu", "Programs",
                                     PRODUCT + ".lnk")

    def stop(self):
        self.prefix.stop_server()
        self.display.stop()

    def run(self, args, timeout):
        try:
            return self.prefix.run(args, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("%s still ran after %d s" % (" ".join(args),
                                                       timeout)) from None

    def msiexec(self, step, action, msi, *properties):
        log = os.path.join(self.logs, step + ".log")
        busy = 1618 if harness.DESKTOP else 1618 & 0xFF  # Wine: low eight bits
        for pause in MSIEXEC_BUSY_PAUSES + (None,):
            result = self.run(["msiexec", action, harness.windows_path(msi),
                               "/qn", "/l*v", harness.windows_path(log)] +
                              list(properties), MSIEXEC_TIMEOUT)
            if result.returncode != busy or pause is None:
                break
            print("%s: msiexec exited 1618, another installation is in "
                  "progress; trying again in %d s" % (step, pause), flush=True)
            time.sleep(pause)
        if result.returncode != 0:
            raise Failure("%s: msiexec %s %s exited %s (log: %s)" % (
                step, action, os.path.basename(msi),
                describe_msiexec_exit(result.returncode, not harness.DESKTOP),
                log))

    def registry(self, key):
        """{key: {value: data}} of a key and its subkeys; {} when there is
        no such key."""
        # Read even when reg fails: a subkey closed to this user makes it
        # fail after it has printed the rest.
        result = self.run(["reg", "query", key, "/s"], QUERY_TIMEOUT)
        return parse_reg_query(result.stdout.decode("utf-8", "replace"))

    def installed_apps(self):
        """("where", version) of each "Installed apps" entry of a release
        or a stand-in package. Each user's product data is read on its own: another
        user's key may be closed to this one."""
        keys = list(UNINSTALL_KEYS)
        users = self.run(["reg", "query", USER_DATA_KEY], QUERY_TIMEOUT)
        own = "HKEY_LOCAL_MACHINE" + USER_DATA_KEY[len("HKLM"):]
        keys += [line.strip() + "\\Products" for line in
                 users.stdout.decode("utf-8", "replace").splitlines()
                 if line.startswith("HKEY_") and
                 line.strip().upper() != own.upper()]
        entries = []
        for key in keys:
            for path, values in sorted(self.registry(key).items()):
                if values.get("DisplayName") in PRODUCT_NAMES:
                    entries.append((path, values.get("DisplayVersion", "")))
        for path, values in sorted(self.registry(USER_PRODUCTS_KEY).items()):
            if values.get("ProductName") in PRODUCT_NAMES:
                entries.append((path, "unknown"))
        return entries

    def run_value(self):
        key = "HKEY_CURRENT_USER" + RUN_KEY[len("HKCU"):]
        return self.registry(RUN_KEY).get(key, {}).get(PRODUCT)

    def processes(self):
        """The processes running the installed lanternquill.exe: ours, or
        one that Restart Manager started again after the upgrade."""
        if harness.DESKTOP:
            return windows_processes(self.exe())
        # Wine's processes are Linux ones, each named by the path it was
        # started with; the prefix is the tests' own, and other prefixes'
        # hosts are not ours.
        own = b"WINEPREFIX=" + self.prefix.path.encode()
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    command = f.read().split(b"\0")[0]
                with open("/proc/%s/environ" % pid, "rb") as f:
                    environment = f.read().split(b"\0")
            except OSError:
                continue
            # Started by a Linux path or a Windows one.
            name = command.replace(b"\\", b"/").lower().split(b"/")[-1]
            if name == b"lanternquill.exe" and own in environment:
                found.append(int(pid))
        return sorted(found)

    def snapshot(self):
        files = []
        if os.path.exists(self.install_dir):
            files.append(self.install_dir)
            for folder, dirs, names in os.walk(self.install_dir):
                files += sorted(os.path.join(folder, n) for n in dirs + names)
        return {"files": files,
                "shortcut": (self.shortcut if os.path.exists(self.shortcut)
                             else None),
                "run_value": self.run_value(),
                "apps": self.installed_apps(),
                "processes": self.processes()}

    def exe(self):
        return os.path.join(self.install_dir, "lanternquill.exe")


def expect_installed(machine, step, version):
    """The installed state of `version`, as Windows and the user see it."""
    expected_run = '"%s"' % machine.exe_windows
    state = harness.eventually(
        machine.snapshot,
        lambda s: {v for _, v in s["apps"]} >= {installer_version(version)})
    problems = []
    if not os.path.isfile(machine.exe()):
        problems.append("no %s" % machine.exe())
    if not state["shortcut"]:
        problems.append("no Start-menu shortcut %s" % machine.shortcut)
    if state["run_value"] is None:
        problems.append('no Run value "%s"' % PRODUCT)
    elif state["run_value"].lower() != expected_run.lower():
        problems.append('Run value "%s" is %s; expected %s' % (
            PRODUCT, state["run_value"], expected_run))
    versions = sorted({v for _, v in state["apps"] if v != "unknown"})
    if versions != [installer_version(version)]:
        problems.append("Installed apps shows versions %s; expected [%s]" % (
            versions, installer_version(version)))
    if problems:
        raise Failure("%s: %s" % (step, "; ".join(problems)))


def release_flow(machine, first, second, first_version, second_version):
    print("== clean machine", flush=True)
    before = leftovers(machine.snapshot())
    if before:
        raise Failure("not a clean machine before the install:\n  " +
                      "\n  ".join(before))

    print("== install %s" % os.path.basename(first), flush=True)
    machine.msiexec("install", "/i", first, "AUTOSTART=1")
    expect_installed(machine, "install", first_version)

    print("== run the installed host, one input call", flush=True)
    host = harness.Host(
        machine.prefix, machine.install_dir,
        creationflags=DETACHED_PROCESS if harness.DESKTOP else 0)
    try:
        problems = reply_problems(host.connect().call(PROBE_CALL))
        if problems:
            raise Failure("installed host: " + "; ".join(problems))

        if harness.DESKTOP:
            print("== upgrade to %s while the host runs" %
                  os.path.basename(second), flush=True)
            machine.msiexec("upgrade", "/i", second, "AUTOSTART=1")
            # Windows Installer has asked the host, through Restart Manager,
            # to close: it could not have replaced the running executable
            # otherwise without a restart (3010).
            try:
                host.wait(HOST_TIMEOUT)
            except AssertionError as error:
                raise Failure("upgrade: the host did not end: %s" % error)
        else:
            # Wine's msiexec has no Restart Manager: a file in use is left
            # for a restart (3010), so the host is closed first.
            status, code = host.close(HOST_TIMEOUT)
            if (status, code) != ((lq.STATUS_OK, b""), 0):
                raise Failure("closing the host gave %s, exit %d" % (
                    format_reply(status), code))
            print("== upgrade to %s" % os.path.basename(second), flush=True)
            machine.msiexec("upgrade", "/i", second, "AUTOSTART=1")
        expect_installed(machine, "upgrade", second_version)
    finally:
        host.kill()

    print("== uninstall", flush=True)
    machine.msiexec("uninstall", "/x", second)
    left = leftovers(harness.eventually(machine.snapshot,
                                        lambda s: not leftovers(s)))
    if left:
        raise Failure("uninstall left:\n  " + "\n  ".join(left))


def main():
    parser = argparse.ArgumentParser()
    for option in ("first", "first-version", "second", "second-version",
                   "work"):
        parser.add_argument("--" + option, required=True)
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    logs = os.path.join(work, "logs")
    os.makedirs(logs, exist_ok=True)
    harness.CONFIG["work"] = work
    # No menu entries on the desktop of whoever runs this under Wine.
    os.environ["WINEDLLOVERRIDES"] = \
        "mscoree=d;mshtml=d;winemenubuilder.exe=d"
    machine = None
    try:
        first = find_msi(os.path.abspath(args.first), args.first_version)
        second = find_msi(os.path.abspath(args.second), args.second_version)
        machine = Machine(work, logs)
        release_flow(machine, first, second, args.first_version,
                     args.second_version)
    except Failure as failure:
        print("FAILED: %s" % failure, flush=True)
        return 1
    finally:
        if machine is not None:
            machine.stop()
    print("The release installs, runs, upgrades%s and uninstalls without "
          "a trace." % (" while it runs" if harness.DESKTOP else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
