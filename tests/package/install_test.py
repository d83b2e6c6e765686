#!/usr/bin/env python3
"""Installs the packages scripts/package makes, under Wine, as a user would.

Three packages are built first, each by scripts/package:
  newer  version 1.0.0.2, unsigned;
  real   the default version, with "real" engine, plugins (copies of the
         simulated ones carrying a vendor's signature) and a UI bundle of a
         thousand files, signed with PEM files;
  plain  the default version again, signed with a PFX; this run also leaves
         the build folder at its default version.
Each scenario then installs into a fresh private prefix on a private display.

Usage: install_test.py [--work DIR] [TestCase ...]
"""

import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "host"))

from end_to_end_test import (CONFIG, Host, HostTestCase,  # noqa: E402
                             eventually, host_lines)
import lanternquill_port as lq  # noqa: E402

BUILD = os.path.join(ROOT, "build", "windows")
ICON = os.path.join(ROOT, "resources", "app_icon.ico")
PACKAGES = {}
UNSIGNED_LINE = ("No certificate given (LQ_SIGN_CERT and LQ_SIGN_KEY, or "
                 "LQ_SIGN_PFX): the packages are unsigned.")
THIRD_PARTY = ["flutter_windows.dll", "screen_retriever_windows_plugin.dll",
               "system_tray_plugin.dll", "window_manager_plugin.dll"]
USER_DATA = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\" \
    "UserData"
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"


def work(*parts):
    return os.path.join(CONFIG["work"], *parts)


def run_package(env, timeout=1800):
    """scripts/package with these variables on top of a clean environment
    (none of the caller's LQ_ settings); its stdout lines."""
    full = {k: v for k, v in os.environ.items() if not k.startswith("LQ_")}
    full.update(env)
    result = subprocess.run([os.path.join(ROOT, "scripts", "package")],
                            env=full, capture_output=True, text=True,
                            timeout=timeout)
    return result.returncode, result.stdout.splitlines(), result.stderr


def make_certificate(name, subject):
    key, cert = work(name + ".key"), work(name + ".pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048",
                    "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                    "-subj", "/CN=" + subject],
                   check=True, capture_output=True)
    return cert, key


def sign(path, cert, key):
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key,
                    "-in", path, "-out", path + ".signed"],
                   check=True, capture_output=True)
    os.replace(path + ".signed", path)


def verifies(path, cert):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in",
                           path], capture_output=True).returncode == 0


def write_ui_bundle(root, count=1000):
    """A UI bundle with the folders and names a real one has, and more."""
    shutil.rmtree(root, ignore_errors=True)
    assets = os.path.join(root, "flutter_assets")
    os.makedirs(os.path.join(assets, "shaders", "empty"))
    for i in range(count):
        folder = os.path.join(assets, "assets", "group %02d" % (i % 25))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "image [%d] & \u00fc.png" % i),
                  "wb") as f:
            f.write(b"asset %d\n" % i)
    for name, content in (("icudtl.dat", b"real ICU data\n"),
                          ("app.so", b"real UI library\n")):
        with open(os.path.join(root, name), "wb") as f:
            f.write(content)


def vendor_binaries(root, cert, key):
    """The simulated engine and plugins with their import libraries, signed
    by someone else, standing in for the real ones."""
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    for name in THIRD_PARTY:
        shutil.copyfile(os.path.join(BUILD, "bundle", name),
                        os.path.join(root, name))
        sign(os.path.join(root, name), cert, key)
    for folder in ("engine", "plugins"):
        path = os.path.join(BUILD, "sim", folder)
        for name in os.listdir(path):
            if name.endswith(".dll.a"):
                shutil.copyfile(os.path.join(path, name),
                                os.path.join(root, name))


class Package:
    def __init__(self, out, version, stdout):
        self.msi = os.path.join(out, "Lanternquill-%s.msi" % version)
        self.zip = os.path.join(out, "Lanternquill-%s-portable.zip" % version)
        self.stdout = stdout

    def files(self):
        """The portable zip as {path: bytes}, folders as None: the bundle
        the package was made from."""
        found = {}
        with zipfile.ZipFile(self.zip) as z:
            for entry in z.infolist():
                if not entry.filename.startswith("Lanternquill/"):
                    raise AssertionError("%s holds %r outside Lanternquill/"
                                         % (self.zip, entry.filename))
                rel = entry.filename[len("Lanternquill/"):].rstrip("/")
                if rel:
                    found[rel] = None if entry.is_dir() else z.read(entry)
        return found


def build_packages():
    our_cert, our_key = make_certificate("ours", "Lanternquill Test")
    vendor_cert, vendor_key = make_certificate("vendor", "Vendor Test")
    CONFIG.update(our_cert=our_cert)
    builds = [
        ("newer", "1.0.0.2", {"LQ_VERSION": "1.0.0.2"}),
        ("real", "1.0.0.1", {"LQ_SIGN_CERT": our_cert,
                             "LQ_SIGN_KEY": our_key,
                             "LQ_ENGINE_DIR": work("vendor"),
                             "LQ_PLUGINS_DIR": work("vendor"),
                             "LQ_DATA_DIR": work("ui")}),
        ("plain", "1.0.0.1", {"LQ_SIGN_PFX": work("ours.pfx"),
                              "LQ_SIGN_PASSWORD": "pass word"}),
    ]
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", our_key, "-in",
                    our_cert, "-out", work("ours.pfx"), "-passout",
                    "pass:pass word"], check=True)
    for name, version, env in builds:
        if name == "real":
            # Copied once the first run has built the simulated binaries.
            vendor_binaries(work("vendor"), vendor_cert, vendor_key)
            write_ui_bundle(work("ui"))
        out = work("packages", name)
        env = dict(env, LQ_PACKAGE_DIR=out)
        status, stdout, stderr = run_package(env)
        if status != 0:
            raise AssertionError("scripts/package for %s failed:\n%s" %
                                 (name, stderr))
        PACKAGES[name] = Package(out, version, stdout)


def setUpModule():
    if not PACKAGES:
        build_packages()


def digests(files):
    """{path: bytes} as {path: SHA-256}, for differences that read."""
    return {path: data and hashlib.sha256(data).hexdigest()[:16]
            for path, data in files.items()}


def mismatches(found, expected):
    """The paths whose content differs, with both sides; [] when none."""
    return sorted((path, found.get(path, "missing"),
                   expected.get(path, "missing"))
                  for path in set(found) | set(expected)
                  if found.get(path, "missing") !=
                  expected.get(path, "missing"))


def tree(root):
    """A folder as {path: bytes}, folders as None."""
    found = {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root).replace(os.sep, "/")
        if rel != ".":
            found[rel] = None
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                found[(name if rel == "." else rel + "/" + name)] = f.read()
    return found


def paths(root):
    return {os.path.relpath(os.path.join(folder, name), root)
            for folder, dirs, files in os.walk(root) for name in dirs + files}


def shortcut(path):
    """Target and working folder of a shell link: the fixed header, the
    optional item-ID list, the link info with the local target path, then
    the counted strings, UTF-16 when the link says so."""
    with open(path, "rb") as f:
        data = f.read()
    flags = struct.unpack_from("<I", data, 0x14)[0]
    pos = 0x4C
    if flags & 0x1:
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = None
    if flags & 0x2:
        size, _, info_flags, _, base = struct.unpack_from("<5I", data, pos)
        if info_flags & 0x1:
            end = data.index(b"\0", pos + base)
            target = data[pos + base:end].decode("latin-1")
        pos += size
    strings = {}
    width = 2 if flags & 0x80 else 1
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "working"),
                      (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            raw = data[pos + 2:pos + 2 + count * width]
            # Wine counts the terminating NUL as well.
            strings[name] = raw.decode("utf-16-le" if width == 2 else
                                       "latin-1").rstrip("\0")
            pos += 2 + count * width
    return target, strings.get("working"), strings.get("icon")


class InstallTestCase(HostTestCase):
    """A fresh prefix per scenario: what one install leaves decides the
    next."""

    @classmethod
    def setUpClass(cls):
        path = work(cls.prefix_name)
        if os.path.exists(path):
            subprocess.run(["wineserver", "-k"],
                           env=dict(os.environ, WINEPREFIX=path),
                           capture_output=True)
            shutil.rmtree(path)
        super().setUpClass()
        users = [u for u in os.listdir(os.path.join(path, "drive_c", "users"))
                 if u != "Public"]
        assert len(users) == 1, users
        cls.user = users[0]
        cls.install_dir = os.path.join(cls.prefix.path, "drive_c", "users",
                                       cls.user, "AppData", "Local",
                                       "Programs", "Lanternquill")
        cls.install_win = "C:\\users\\%s\\AppData\\Local\\Programs\\" \
            "Lanternquill" % cls.user

    def msiexec(self, *args):
        return self.prefix.run(["msiexec"] + list(args) + ["/qn"],
                               timeout=300).returncode

    def unix_path(self, windows):
        drive, rest = windows.split(":\\", 1)
        self.assertEqual(drive.upper(), "C")
        return os.path.join(self.prefix.path, "drive_c", *rest.split("\\"))

    def registry(self, key, recursive=False):
        """Values under a key as {key: {name: data}}; empty when the key
        does not exist."""
        result = self.prefix.run(["reg", "query", key] +
                                 (["/s"] if recursive else []))
        found = {}
        current = None
        for line in result.stdout.decode("utf-8", "replace").splitlines():
            if line.startswith("HKEY_"):
                key = line.strip().replace("HKEY_CURRENT_USER", "HKCU", 1)
                key = key.replace("HKEY_LOCAL_MACHINE", "HKLM", 1)
                current = found.setdefault(key, {})
            elif line.startswith("    ") and current is not None:
                fields = line.strip().split("    ")
                current[fields[0]] = fields[2] if len(fields) > 2 else ""
        return found if result.returncode == 0 else {}

    def products(self):
        """The "Installed apps" entries named Lanternquill."""
        return [values for key, values in
                self.registry(USER_DATA, recursive=True).items()
                if key.endswith("\\InstallProperties") and
                values.get("DisplayName") == "Lanternquill"]

    def assertInstalled(self, package, version):
        """One entry of this version, and exactly the package's files."""
        expected = digests(package.files())
        found = eventually(lambda: digests(tree(self.install_dir)),
                           lambda found: found == expected)
        self.assertEqual(mismatches(found, expected), [])
        self.assertEqual([(p["DisplayVersion"], p["Publisher"])
                          for p in self.products()],
                         [(version, "Lanternquill")])


class InstallTest(InstallTestCase):
    prefix_name = "install"

    def test_installs_runs_and_uninstalls_without_a_trace(self):
        real = PACKAGES["real"]
        drive = os.path.join(self.prefix.path, "drive_c")
        before = paths(drive)
        self.assertEqual(self.msiexec("/i", real.msi, "AUTOSTART=1"), 0)
        self.assertInstalled(real, "1.0.1")

        # The real UI bundle and the vendor-signed binaries as they were
        # given; our own exe signed, the build's own copy left unsigned.
        installed = tree(self.install_dir)
        ui = tree(work("ui"))
        self.assertEqual(mismatches(
            digests({k: v for k, v in installed.items()
                     if k.startswith("data/")}),
            digests({"data/" + k: v for k, v in ui.items()})), [])
        vendor = tree(work("vendor"))
        self.assertEqual(
            mismatches(digests({k: installed[k] for k in THIRD_PARTY}),
                       digests({k: vendor[k] for k in THIRD_PARTY})), [])
        exe = os.path.join(self.install_dir, "lanternquill.exe")
        self.assertTrue(verifies(exe, CONFIG["our_cert"]))
        self.assertFalse(verifies(os.path.join(BUILD, "bundle",
                                               "lanternquill.exe"),
                                  CONFIG["our_cert"]))

        # Only the user's own folders change, besides the installer's caches.
        profile = "users/%s/AppData/" % self.user
        allowed = (profile + "Local/Programs",
                   profile + "Roaming/Microsoft/Installer",
                   profile + "Roaming/Microsoft/Windows/Start Menu/Programs/"
                   "Lanternquill.lnk",
                   "windows/Installer")
        self.assertEqual([p for p in paths(drive) - before
                          if not any(p == a or p.startswith(a + "/")
                                     for a in allowed)], [])

        exe_win = self.install_win + "\\lanternquill.exe"
        link = os.path.join(drive, "users", self.user, "AppData", "Roaming",
                            "Microsoft", "Windows", "Start Menu", "Programs",
                            "Lanternquill.lnk")
        self.assertEqual(shortcut(link),
                         (exe_win, self.install_win + "\\", None))
        self.assertEqual(self.registry(RUN_KEY)[RUN_KEY].get("Lanternquill"),
                         '"%s"' % exe_win)
        icons = [v["ProductIcon"] for v in self.registry(
            "HKCU\\Software\\Microsoft\\Installer\\Products",
            recursive=True).values() if v.get("ProductName") == "Lanternquill"]
        self.assertEqual(len(icons), 1)
        with open(self.unix_path(icons[0]), "rb") as f, open(ICON, "rb") as g:
            self.assertEqual(f.read(), g.read())

        host = Host(self.prefix, self.install_dir)
        self.addCleanup(host.kill)
        port = host.connect()
        self.assertEqual(port.call("checkAccessibility"),
                         (lq.STATUS_OK, lq.success_bytes(True)))
        self.assertEqual(host.close(), ((lq.STATUS_OK, b""), 0))
        self.assertEqual(host_lines(host.stderr), [])

        self.assertEqual(self.msiexec("/x", real.msi), 0)
        # The installer's own cache folders stay, empty.
        installer = {profile + "Roaming/Microsoft/Installer",
                     "windows/Installer"}
        after = eventually(lambda: paths(drive) - installer,
                           lambda now: now == before - installer)
        self.assertEqual(after ^ (before - installer), set())
        self.assertEqual(self.registry("HKCU\\Software\\Lanternquill"), {})
        self.assertNotIn("Lanternquill",
                         self.registry(RUN_KEY).get(RUN_KEY, {}))
        self.assertEqual(self.products(), [])


class UpgradeTest(InstallTestCase):
    prefix_name = "upgrade"

    def test_later_packages_replace_and_earlier_ones_are_refused(self):
        plain, real, newer = (PACKAGES[n] for n in ("plain", "real", "newer"))
        steps = [
            ("first install", plain, ["AUTOSTART=1"], plain, "1.0.1"),
            # A rebuild of the installed version (a new product code)
            # replaces it: no second entry, none of its old files left.
            ("same version rebuilt", real, [], real, "1.0.1"),
            # Only the build number is later.
            ("upgrade", newer, [], newer, "1.0.2"),
            ("same package again", newer, [], newer, "1.0.2"),
            # Refused; under Wine the exit code says nothing reliable.
            ("downgrade", plain, [], newer, "1.0.2"),
        ]
        for name, installed, args, expected, version in steps:
            with self.subTest(name):
                status = self.msiexec("/i", installed.msi, *args)
                if name != "downgrade":
                    self.assertEqual(status, 0)
                self.assertInstalled(expected, version)
                # Each install decides: only the first asked for it.
                self.assertEqual(
                    "Lanternquill" in self.registry(RUN_KEY).get(RUN_KEY, {}),
                    bool(args))


class PackageScriptTest(unittest.TestCase):
    def test_signs_when_asked_and_refuses_half_a_certificate(self):
        for name, signed in (("newer", False), ("real", True),
                             ("plain", True)):
            with self.subTest(package=name):
                package = PACKAGES[name]
                exe = work("packages", name, "lanternquill.exe")
                with open(exe, "wb") as f:
                    f.write(package.files()["lanternquill.exe"])
                self.assertEqual((verifies(package.msi, CONFIG["our_cert"]),
                                  verifies(exe, CONFIG["our_cert"]),
                                  package.stdout.count(UNSIGNED_LINE)),
                                 (signed, signed, 0 if signed else 1))
        # Each run's bundle holds only its own UI data.
        self.assertEqual(sorted(k for k in PACKAGES["plain"].files()
                                if k.startswith("data/")),
                         ["data/app.so", "data/flutter_assets",
                          "data/flutter_assets/AssetManifest.json",
                          "data/icudtl.dat"])

        cert, key = CONFIG["our_cert"], CONFIG["our_cert"][:-4] + ".key"
        together = "package: LQ_SIGN_CERT and LQ_SIGN_KEY are needed together"
        table = [
            ({"LQ_SIGN_CERT": cert}, together),
            ({"LQ_SIGN_KEY": key}, together),
            ({"LQ_SIGN_CERT": cert, "LQ_SIGN_KEY": key,
              "LQ_SIGN_PFX": work("ours.pfx")},
             "package: give LQ_SIGN_CERT and LQ_SIGN_KEY, or LQ_SIGN_PFX, "
             "not both"),
            ({"LQ_SIGN_PFX": work("missing.pfx")},
             "package: cannot read LQ_SIGN_PFX=%s" % work("missing.pfx")),
        ]
        for env, line in table:
            with self.subTest(env=sorted(env)):
                status, stdout, stderr = run_package(env, timeout=60)
                self.assertEqual((status, stdout, stderr.splitlines()),
                                 (1, [], [line]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", default=os.path.join(ROOT, "build",
                                                       "package-test"))
    args, rest = parser.parse_known_args()
    CONFIG.update(work=os.path.abspath(args.work))
    os.makedirs(CONFIG["work"], exist_ok=True)
    # No menu entries in the desktop of the user running the tests.
    os.environ["WINEDLLOVERRIDES"] = "mscoree=d;mshtml=d;winemenubuilder.exe=d"
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
