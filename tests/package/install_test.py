#!/usr/bin/env python3
"""Installs what scripts/package makes under Wine, in fresh private prefixes.

Three packages, each built by scripts/package: "newer" (1.0.0.2, unsigned),
"real" (the default version with an engine and plugins that carry a vendor's
signature, a thousand-file UI bundle, signed with PEM files) and "plain" (the
default version, signed with a PFX). Their naming, stripping and signing are
checked by release_test.py.

Usage: install_test.py [--work DIR] [TestCase ...]
"""

import argparse
import glob
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))

from host_harness import (CONFIG, Host, PrefixTestCase,  # noqa: E402
                          eventually, parse_reg_query, windows_path)
import lanternquill_port as lq  # noqa: E402
from msi_package import LAUNCH_CONDITIONS, msi_properties  # noqa: E402
from package_script import (make_certificate, openssl,  # noqa: E402
                            run_package, verifies)
from product_identity import (STAND_IN_PRODUCT,  # noqa: E402
                              STAND_IN_UPGRADE_CODE)

BUILD = os.path.join(ROOT, "build", "windows")
PACKAGES = {}
VENDOR = ["flutter_windows.dll", "screen_retriever_windows_plugin.dll",
          "system_tray_plugin.dll", "window_manager_plugin.dll"]
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
# msiexec's 1603 (the install failed), as an exit status keeps it: its low
# byte.
REFUSED = 1603 & 0xFF


def work(*parts):
    return os.path.join(CONFIG["work"], *parts)


def prepare_real_inputs():
    """The simulated engine and plugins with their import libraries, signed
    by a vendor, and a UI bundle with awkward names and an empty folder."""
    shutil.rmtree(work("vendor"), ignore_errors=True)
    os.makedirs(work("vendor"))
    for name in VENDOR:
        subprocess.run(["osslsigncode", "sign", "-certs", work("vendor.pem"),
                        "-key", work("vendor.key"), "-in",
                        os.path.join(BUILD, "bundle", name), "-out",
                        work("vendor", name)], check=True,
                       capture_output=True)
    for folder in ("sim/engine", "sim/plugins"):
        for name in os.listdir(os.path.join(BUILD, folder)):
            if name.endswith(".dll.a"):
                shutil.copy(os.path.join(BUILD, folder, name), work("vendor"))
    shutil.rmtree(work("ui"), ignore_errors=True)
    os.makedirs(work("ui", "flutter_assets", "shaders", "empty"))
    for name in ("icudtl.dat", "app.so"):
        with open(work("ui", name), "w") as f:
            f.write("real " + name)
    for i in range(1000):
        folder = work("ui", "flutter_assets", "assets", "group %02d" % (i % 25))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "image [%d] & co.png" % i),
                  "w") as f:
            f.write("asset %d" % i)


def setUpModule():
    for name in ("ours", "vendor"):
        make_certificate(work(), name)
    openssl("pkcs12", "-export", "-inkey", work("ours.key"), "-in",
            work("ours.pem"), "-out", work("ours.pfx"), "-passout",
            "pass:pass word")
    builds = [
        ("newer", "1.0.0.2", {"LQ_VERSION": "1.0.0.2"}),
        ("real", "1.0.0.1", {"LQ_ENGINE_DIR": work("vendor"),
                             "LQ_PLUGINS_DIR": work("vendor"),
                             "LQ_DATA_DIR": work("ui"),
                             "LQ_SIGN_CERT": work("ours.pem"),
                             "LQ_SIGN_KEY": work("ours.key"),
                             "LQ_SIGN_CAFILE": work("ours.pem"),
                             "LQ_SIGN_STAND_IN": "1"}),
        ("plain", "1.0.0.1", {"LQ_SIGN_PFX": work("ours.pfx"),
                              "LQ_SIGN_PASSWORD": "pass word",
                              "LQ_SIGN_STAND_IN": "1",
                              "LQ_SIGN_CAFILE": work("ours.pem")}),
    ]
    for name, version, env in builds:
        if name == "real":
            prepare_real_inputs()
        # Packages of an earlier run, maybe under other names, must not
        # stand beside this run's.
        shutil.rmtree(work("packages", name), ignore_errors=True)
        status, stdout, stderr = run_package(
            dict(env, LQ_PACKAGE_DIR=work("packages", name)))
        if status != 0:
            raise AssertionError("scripts/package for %s failed:\n%s" %
                                 (name, "\n".join(stderr)))
        # Whatever else the name says (a build with stand-ins says so).
        base = work("packages", name, "Lanternquill-" + version)
        [msi] = glob.glob(glob.escape(base) + "*.msi")
        [zip_file] = glob.glob(glob.escape(base) + "*-portable.zip")
        PACKAGES[name] = {"msi": msi, "zip": zip_file, "stdout": stdout}


def digest(data):
    return data if data is None else hashlib.sha256(data).hexdigest()[:16]


def zip_files(path):
    """The portable zip as {path under Lanternquill/: digest}, folders
    None."""
    with zipfile.ZipFile(path) as z:
        return {e.filename.rstrip("/"): None if e.is_dir() else
                digest(z.read(e)) for e in z.infolist()}


def tree(root, under=""):
    """A folder as {path: digest}, folders None, paths prefixed by under."""
    found = {under: None} if under else {}
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root).replace(os.sep, "/")
        prefix = "/".join(p for p in (under, rel) if p and p != ".")
        for name in dirs:
            found[prefix + "/" + name if prefix else name] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                found[prefix + "/" + name if prefix else name] = \
                    digest(f.read())
    return found


def paths(root):
    return {os.path.relpath(os.path.join(folder, name), root)
            for folder, dirs, files in os.walk(root) for name in dirs + files}


def differences(found, expected):
    return sorted((path, found.get(path, "absent"),
                   expected.get(path, "absent"))
                  for path in set(found) | set(expected)
                  if found.get(path, "absent") != expected.get(path, "absent"))


def shortcut(path):
    """Target, working folder and icon of a shell link: the header, the
    optional item-ID list, the link info's local path, then the counted
    strings (UTF-16, as Wine writes them)."""
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
            target = data[pos + base:data.index(b"\0", pos + base)].decode()
        pos += size
    strings = {}
    for bit in (0x4, 0x8, 0x10, 0x20, 0x40):
        if flags & bit:
            count = 2 * struct.unpack_from("<H", data, pos)[0]
            # Wine counts the terminating NUL as well.
            strings[bit] = data[pos + 2:pos + 2 + count].decode(
                "utf-16-le").rstrip("\0")
            pos += 2 + count
    return target, strings.get(0x10), strings.get(0x40)


class InstallTestCase(PrefixTestCase):
    """A fresh prefix per scenario: what one install leaves decides the
    next."""

    fresh_prefix = True

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.drive = os.path.join(cls.prefix.path, "drive_c")
        [cls.user] = [u for u in os.listdir(os.path.join(cls.drive, "users"))
                      if u != "Public"]
        cls.profile = "users/%s/AppData/" % cls.user
        cls.install_dir = os.path.join(cls.drive, cls.profile,
                                       "Local/Programs/Lanternquill")
        cls.exe_win = "C:\\users\\%s\\AppData\\Local\\Programs\\" \
            "Lanternquill\\lanternquill.exe" % cls.user

    def msiexec(self, *args):
        return self.prefix.run(["msiexec"] + list(args) + ["/qn"],
                               timeout=300).returncode

    def installer(self, *args):
        """The lines installer_session.js prints."""
        result = self.prefix.run(
            ["cscript", "//nologo", windows_path(os.path.join(
                ROOT, "tests", "package", "installer_session.js"))] +
            list(args))
        self.assertEqual(result.returncode, 0)
        return result.stdout.decode("ascii").splitlines()

    def registry(self, key):
        """{key: {value name: data}} of a key and its subkeys; {} when the
        key does not exist."""
        result = self.prefix.run(["reg", "query", key, "/s"])
        return parse_reg_query(result.stdout.decode("utf-8", "replace"))

    def run_value(self):
        key = "HKEY_CURRENT_USER" + RUN_KEY[len("HKCU"):]
        return self.registry(RUN_KEY).get(key, {}).get("Lanternquill")

    def products(self):
        """Our "Installed apps" entries: (version, publisher)."""
        return [(v["DisplayVersion"], v["Publisher"]) for k, v in
                self.registry("HKLM\\Software\\Microsoft\\Windows\\"
                              "CurrentVersion\\Installer\\UserData").items()
                if k.endswith("\\InstallProperties") and
                v.get("DisplayName") == STAND_IN_PRODUCT]

    def assertInstalled(self, package, version):
        """Exactly the package's files, and one entry of its version."""
        expected = zip_files(PACKAGES[package]["zip"])
        found = eventually(lambda: tree(self.install_dir, "Lanternquill"),
                           lambda found: found == expected)
        self.assertEqual(differences(found, expected), [])
        self.assertEqual(self.products(), [(version, "Lanternquill")])


class InstallTest(InstallTestCase):
    prefix_name = "install"

    def test_installs_runs_and_uninstalls_without_a_trace(self):
        before = paths(self.drive)
        self.assertEqual(self.msiexec("/i", PACKAGES["real"]["msi"],
                                      "AUTOSTART=1"), 0)
        self.assertInstalled("real", "1.0.1")

        # The real UI bundle and the vendor's binaries as given, our exe
        # signed; the build's own exe stays unsigned.
        installed = tree(self.install_dir)
        expected = dict(tree(work("ui"), "data"),
                        **{k: v for k, v in tree(work("vendor")).items()
                           if k in VENDOR})
        self.assertEqual(differences(
            {k: v for k, v in installed.items() if k in expected}, expected),
            [])
        self.assertTrue(verifies(os.path.join(
            self.install_dir, "lanternquill.exe"), work("ours.pem")))
        self.assertFalse(verifies(os.path.join(
            BUILD, "bundle", "lanternquill.exe"), work("ours.pem")))

        # Nothing outside the user's own folders but the installer's cache.
        allowed = (self.profile + "Local/Programs",
                   self.profile + "Roaming/Microsoft/Installer",
                   self.profile + "Roaming/Microsoft/Windows/Start Menu/"
                   "Programs/Lanternquill.lnk", "windows/Installer")
        self.assertEqual([p for p in paths(self.drive) - before
                          if not p.startswith(allowed)], [])
        self.assertEqual(
            shortcut(os.path.join(self.drive, allowed[2])),
            (self.exe_win, self.exe_win[:-len("lanternquill.exe")], None))
        self.assertEqual(self.run_value(), '"%s"' % self.exe_win)
        [icon] = [v["ProductIcon"] for v in self.registry(
            "HKCU\\Software\\Microsoft\\Installer\\Products").values()
            if v.get("ProductName") == STAND_IN_PRODUCT]
        with open(os.path.join(self.drive, *icon[3:].split("\\")), "rb") as f:
            self.assertEqual(digest(f.read()), tree(
                os.path.join(ROOT, "resources"))["app_icon.ico"])

        host = Host(self.prefix, self.install_dir)
        self.addCleanup(host.kill)
        self.assertEqual(host.connect().call("checkAccessibility"),
                         (lq.STATUS_OK, lq.success_bytes(True)))
        self.assertEqual(self.close_cleanly(host), (lq.STATUS_OK, b""))

        self.assertEqual(self.msiexec("/x", PACKAGES["real"]["msi"]), 0)
        # The installer's own cache folders stay, empty.
        expected = before | {self.profile + "Roaming/Microsoft/Installer",
                             "windows/Installer"}
        after = eventually(lambda: paths(self.drive),
                           lambda now: now == expected)
        self.assertEqual(after ^ expected, set())
        self.assertEqual(self.registry("HKCU\\Software\\Lanternquill"), {})
        self.assertIsNone(self.run_value())
        self.assertEqual(self.products(), [])


class RefusalTest(InstallTestCase):
    prefix_name = "refusal"

    def test_refuses_what_it_cannot_serve_before_installing_anything(self):
        package = PACKAGES["plain"]["msi"]
        # Each launch condition as the installer evaluates it, the session's
        # properties set as another system or account would have them; the
        # ones Wine cannot be made to run as (a 32-bit system, the SYSTEM
        # account) are proven here only.
        table = [
            ("this user", [], []),
            ("32-bit Windows", ["VersionNT64="], ["VersionNT64"]),
            ("all users", ["ALLUSERS=1"], ["NOT ALLUSERS"]),
            # Per machine when an administrator runs it.
            ("all users if allowed", ["ALLUSERS=2"], ["NOT ALLUSERS"]),
            ("SYSTEM", ["UserSID=S-1-5-18"], ["Installed OR (UserSID"]),
            ("network service", ["UserSID=S-1-5-20"],
             ["Installed OR (UserSID"]),
            # What an earlier package put into the SYSTEM profile can go.
            ("SYSTEM removing", ["UserSID=S-1-5-18", "Installed=1"], []),
            ("autostart on", ["AUTOSTART=1"], []),
            ("autostart off", ["AUTOSTART=0"], []),
            ("autostart yes", ["AUTOSTART=yes"], ["NOT AUTOSTART"]),
            ("out of it", ["INSTALLDIR=%s\\..\\..\\..\\A" % self.exe_win],
             ["Installed OR NOT INSTALLDIR"]),
            ("release installed", ["LQ_OTHER_KIND_INSTALLED=1"],
             ["Installed OR NOT LQ_OTHER"]),
        ]
        for name, properties, refusals in table:
            with self.subTest(name):
                self.assertEqual(
                    self.installer("refusals", windows_path(package),
                                   "Installed=", *properties),
                    [message for condition, message in LAUNCH_CONDITIONS
                     if condition.startswith(tuple(refusals))])

        # And as msiexec runs them: refused, nothing installed, nothing
        # registered for anyone.
        before = paths(self.drive)
        for args in (["ALLUSERS=1"], ["AUTOSTART=yes"], ["INSTALLDIR=C:\\A"]):
            with self.subTest(args=args):
                self.assertEqual(self.msiexec("/i", package, *args), REFUSED)
                self.assertEqual(paths(self.drive) - before, set())
                self.assertEqual(self.products(), [])
                self.assertEqual(self.installer(
                    "related", STAND_IN_UPGRADE_CODE), [])


class UpgradeTest(InstallTestCase):
    prefix_name = "upgrade"

    def test_later_packages_replace_and_earlier_ones_are_refused(self):
        steps = [
            ("first install", "plain", ["AUTOSTART=1"], 0, "plain", "1.0.1",
             True),
            # A rebuild of the installed version has a new product code; it
            # replaces the installed one, old files and all, and keeps the
            # choice made before.
            ("same version rebuilt", "real", [], 0, "real", "1.0.1", True),
            # Only the build number is later.
            ("upgrade, autostart off", "newer", ["AUTOSTART=0"], 0, "newer",
             "1.0.2", False),
            ("same package again", "newer", [], 0, "newer", "1.0.2", False),
            ("same package, same choice", "newer", ["AUTOSTART=0"], 0,
             "newer", "1.0.2", False),
            # The installed package would change nothing: refused.
            ("same package, other choice", "newer", ["AUTOSTART=1"],
             REFUSED, "newer", "1.0.2", False),
            # Refused; under Wine the exit code says nothing reliable.
            ("downgrade", "plain", [], None, "newer", "1.0.2", False),
        ]
        for name, package, args, status, expected, version, autostart in \
                steps:
            with self.subTest(name):
                found = self.msiexec("/i", PACKAGES[package]["msi"], *args)
                if status is not None:
                    self.assertEqual(found, status)
                self.assertInstalled(expected, version)
                self.assertEqual(self.run_value() is not None, autostart)

        # Removed as README says, without the installed build's package:
        # its product code found by the upgrade code every build shares.
        product = msi_properties(PACKAGES["newer"]["msi"])["ProductCode"]
        code = STAND_IN_UPGRADE_CODE
        self.assertEqual(self.installer("related", code), [product])
        self.assertEqual(self.msiexec("/x", product), 0)
        self.assertEqual(eventually(lambda: os.path.exists(self.install_dir),
                                    lambda exists: not exists), False)
        self.assertEqual(self.products(), [])
        self.assertEqual(self.installer("related", code), [])


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
