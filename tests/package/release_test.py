#!/usr/bin/env python3
"""What scripts/package promises a release engineer, checked on packages it
makes: names that tell a package with stand-ins from a release, our binaries
shipped without debug sections and their symbols kept beside them, signatures
that verify, a password that reaches the signing tool alone, zips that are the
same bytes for the same inputs, the winget manifests of a release, and the
windows build left as it was.

Usage: release_test.py [--work DIR] [TestCase ...]
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

from package_script import (make_certificate, run_package,  # noqa: E402
                            verifies)
from reproducible_zip import build_zip  # noqa: E402
from vendor_fixture import make_vendor  # noqa: E402

WORK = []
PACKAGE_BUILD = os.path.join(ROOT, "build", "package-windows")
WINDOWS_CACHE = os.path.join(ROOT, "build", "windows", "CMakeCache.txt")
PASSWORD = "pass word"
PLUGINS = ["screen_retriever_windows_plugin.dll", "system_tray_plugin.dll",
           "window_manager_plugin.dll"]
BINARIES = ["flutter_windows.dll", "lanternquill.exe"] + PLUGINS
UNSIGNED = ("No certificate given (LQ_SIGN_CERT and LQ_SIGN_KEY, or "
            "LQ_SIGN_PFX): the packages are unsigned.")
NO_TIMESTAMP = ("No timestamp server given (LQ_SIGN_TIMESTAMP_URL): the "
                "signatures stop being valid when the certificate expires.")
STAND_INS = "simulated engine, stand-in plugins, stand-in data"
RELEASE_URL = "https://downloads.example/lanternquill/1.0.0.3/"
MANIFESTS = ["Lanternquill.Lanternquill.installer.yaml",
             "Lanternquill.Lanternquill.locale.en-US.yaml",
             "Lanternquill.Lanternquill.yaml"]
# A tool that records its command line and environment, then runs the real
# one.
RECORDER = """#!/bin/sh
{ printf '%%s\\n' "$0" "$@"; env; } >"$RECORDS/${0##*/}.$$"
exec %s "$@"
"""
# name: (base name of the packages, stand-ins, lines of its stdout)
RUNS = {}
EXPECTED = {
    "stand-in": ("Lanternquill-1.0.0.1-stand-in", True, [UNSIGNED]),
    "signed": ("Lanternquill-1.0.0.1-stand-in", True, [NO_TIMESTAMP]),
    "again": ("Lanternquill-1.0.0.1-stand-in", True, [UNSIGNED]),
    "real": ("Lanternquill-1.0.0.3", False, [UNSIGNED]),
}


def work(*parts):
    return os.path.join(WORK[0], *parts)


def objdump(*args):
    return subprocess.run(["x86_64-w64-mingw32-objdump"] + list(args),
                          check=True, capture_output=True,
                          text=True).stdout.splitlines()


def debug_sections(path):
    return [line.split()[1] for line in objdump("-h", path)
            if line.split()[1:2] and line.split()[1].startswith(".debug")]


def build_id(path):
    """The CodeView record the linker's --build-id writes."""
    found = [line for line in objdump("-p", path) if "RSDS signature" in line]
    return found[0].split("signature")[1].split()[0] if found else None


def debug_link(path):
    """(file name, CRC-32) of the .gnu_debuglink section, or None."""
    if ".gnu_debuglink" not in [line.split()[1] for line in objdump("-h", path)
                                if line.split()[1:2]]:
        return None
    data = bytes.fromhex("".join(
        "".join(line.strip().split("  ")[0].split()[1:])
        for line in objdump("-s", "-j", ".gnu_debuglink", path)
        if line.startswith(" ")))
    return data[:data.index(b"\0")].decode(), int.from_bytes(data[-4:],
                                                              "little")


def crc32(path):
    with open(path, "rb") as f:
        return zlib.crc32(f.read())


def read(path):
    with open(path, "rb") as f:
        return f.read()


def unpack(name):
    """The packages of a run unpacked: {"msi"|"zip"|"symbols": {file name:
    path}} for the files directly in the Lanternquill folder."""
    base = os.path.join(work("packages", name), EXPECTED[name][0])
    found = {}
    for kind, archive in (("msi", base + ".msi"),
                          ("zip", base + "-portable.zip"),
                          ("symbols", base + "-symbols.zip")):
        target = work("unpacked", name, kind)
        shutil.rmtree(target, ignore_errors=True)
        os.makedirs(target)
        if kind == "msi":
            subprocess.run(["msiextract", "-C", target, archive], check=True,
                           capture_output=True)
        else:
            with zipfile.ZipFile(archive) as z:
                z.extractall(target)
        found[kind] = {f: os.path.join(folder, f)
                       for folder, _, files in os.walk(target)
                       if os.path.basename(folder) == "Lanternquill"
                       for f in files}
    return found


def prepare_real_inputs():
    """A vendor's engine, plugins and UI data (vendor_fixture.py)."""
    vendor = work("vendor")
    shutil.rmtree(vendor, ignore_errors=True)
    make_vendor(vendor)
    return vendor


def setUpModule():
    make_certificate(work(), "ours", PASSWORD)
    make_certificate(work(), "other")
    tools = work("tools")
    shutil.rmtree(tools, ignore_errors=True)
    shutil.rmtree(work("records"), ignore_errors=True)
    os.makedirs(tools)
    os.makedirs(work("records"))
    for tool in ("cmake", "python3"):
        with open(os.path.join(tools, tool), "w") as f:
            f.write(RECORDER % shutil.which(tool))
        os.chmod(os.path.join(tools, tool), 0o755)
    # The windows build as the tests and the demo left it.
    if not os.path.exists(WINDOWS_CACHE):
        subprocess.run(["cmake", "--preset", "windows"], cwd=ROOT,
                       check=True, capture_output=True)
    RUNS["windows cache"] = read(WINDOWS_CACHE)

    signing = {"LQ_SIGN_CERT": work("ours.pem"),
               "LQ_SIGN_KEY": work("ours.key"),
               "LQ_SIGN_PASSWORD": PASSWORD, "LQ_SIGN_STAND_IN": "1",
               "LQ_SIGN_CAFILE": work("ours.pem"),
               "PATH": tools + os.pathsep + os.environ["PATH"],
               "RECORDS": work("records")}
    # "again" after "real": nothing of the real engine or UI data lingers,
    # and a relinked build gives the same bytes.
    for name, env in [("stand-in", {}), ("signed", signing), ("real", None),
                      ("again", {})]:
        if env is None:
            vendor = prepare_real_inputs()
            env = {"LQ_VERSION": "1.0.0.3", "LQ_ENGINE_DIR": vendor,
                   "LQ_PLUGINS_DIR": vendor,
                   "LQ_DATA_DIR": os.path.join(vendor, "data"),
                   "LQ_RELEASE_URL": RELEASE_URL}
        shutil.rmtree(work("packages", name), ignore_errors=True)
        RUNS[name] = run_package(dict(env,
                                      LQ_PACKAGE_DIR=work("packages", name)))


class PackageScriptTest(unittest.TestCase):
    def test_names_and_lines_tell_stand_ins_from_a_release(self):
        for name, (base, stand_in, lines) in EXPECTED.items():
            with self.subTest(name):
                status, stdout, stderr = RUNS[name]
                self.assertEqual((status, stderr), (0, []))
                self.assertEqual(sorted(os.listdir(work("packages", name))),
                                 [base + "-portable.zip",
                                  base + "-symbols.zip", base + ".msi"] +
                                 MANIFESTS * (not stand_in))
                told = ("This package carries stand-ins (%s): it is named "
                        "%s, not for release." % (STAND_INS, base))
                said = [UNSIGNED, NO_TIMESTAMP, told]
                self.assertEqual([line for line in stdout if line in said or
                                  line.startswith("This package")],
                                 [told] * stand_in + lines)

    def test_binaries_ship_stripped_with_their_symbols_beside(self):
        vendor = work("vendor")
        for name, own in [("stand-in", BINARIES), ("signed", BINARIES),
                          ("real", ["lanternquill.exe"])]:
            with self.subTest(name):
                found = unpack(name)
                binaries = sorted(f for f in found["zip"]
                                  if f.endswith((".exe", ".dll")))
                self.assertEqual(binaries, BINARIES)
                self.assertEqual(sorted(found["symbols"]),
                                 sorted(f + ".debug" for f in own))
                for binary in binaries:
                    shipped = found["zip"][binary]
                    self.assertEqual(read(found["msi"][binary]),
                                     read(shipped))
                    self.assertEqual(debug_sections(shipped), [])
                    if binary not in own:
                        # A vendor's file, exactly as given.
                        self.assertEqual(read(shipped),
                                         read(os.path.join(vendor, binary)))
                        continue
                    symbols = found["symbols"][binary + ".debug"]
                    self.assertNotEqual(debug_sections(symbols), [])
                    self.assertEqual(debug_link(shipped),
                                     (binary + ".debug", crc32(symbols)))
                    self.assertIsNotNone(build_id(shipped))
                    self.assertEqual(build_id(symbols), build_id(shipped))

    def test_signs_with_an_encrypted_key_its_password_going_to_it_alone(self):
        found = unpack("signed")
        self.assertEqual(
            [f for f in [found["zip"][b] for b in BINARIES] +
             [work("packages", "signed", EXPECTED["signed"][0] + ".msi")]
             if not verifies(f, work("ours.pem"))], [])
        records = sorted(os.listdir(work("records")))
        self.assertEqual(sorted({r.split(".")[0] for r in records}),
                         ["cmake", "python3"])
        self.assertEqual([r for r in records if PASSWORD in
                          read(work("records", r)).decode("utf-8", "replace")],
                         [])

    def test_zips_are_the_same_bytes_for_the_same_inputs(self):
        for kind in ("-portable.zip", "-symbols.zip"):
            with self.subTest(kind):
                self.assertEqual(
                    read(work("packages", "stand-in",
                              EXPECTED["stand-in"][0] + kind)),
                    read(work("packages", "again",
                              EXPECTED["again"][0] + kind)))

        bundle = tempfile.mkdtemp(prefix="lq-zip-")
        self.addCleanup(shutil.rmtree, bundle)
        os.makedirs(os.path.join(bundle, "data", "flutter_assets"))
        files = ["lanternquill.exe", "data/app.so", "data/b \u00fc.dat",
                 "data/flutter_assets/AssetManifest.json"]
        for rel in files:
            with open(os.path.join(bundle, rel), "w") as f:
                f.write(rel)
        epoch = 1700000000
        zips = []
        for stamp, mode in ((1000000000, 0o600), (2000000000, 0o755)):
            for rel in files + ["data"]:
                os.chmod(os.path.join(bundle, rel), mode)
                os.utime(os.path.join(bundle, rel), (stamp, stamp))
            zips.append(bundle + ".%d.zip" % stamp)
            build_zip(bundle, zips[-1], epoch)
            self.addCleanup(os.remove, zips[-1])
        self.assertEqual(read(zips[0]), read(zips[1]))
        with zipfile.ZipFile(zips[0]) as z:
            self.assertEqual({e.date_time for e in z.infolist()},
                             {(2023, 11, 14, 22, 13, 20)})

    def test_writes_the_winget_manifests_of_a_release(self):
        msi = work("packages", "real", "Lanternquill-1.0.0.3.msi")
        [code] = [line.split("\t")[1] for line in subprocess.run(
            ["msiinfo", "export", msi, "Property"], check=True,
            capture_output=True, text=True).stdout.splitlines()
            if line.startswith("ProductCode\t")]
        head = ("# Written by scripts/package.\n"
                "PackageIdentifier: Lanternquill.Lanternquill\n"
                "PackageVersion: '1.0.0.3'\n")
        tail = "ManifestVersion: 1.6.0\n"
        expected = [
            head + "InstallerType: msi\nScope: user\n"
            "UpgradeBehavior: install\nInstallers:\n- Architecture: x64\n"
            "  InstallerUrl: 'https://downloads.example/lanternquill/1.0.0.3/"
            "Lanternquill-1.0.0.3.msi'\n"
            "  InstallerSha256: %s\n  ProductCode: '%s'\n"
            "  AppsAndFeaturesEntries:\n  - DisplayVersion: '1.0.3'\n"
            "    ProductCode: '%s'\n"
            "    UpgradeCode: '{7ED3C85F-C2BF-4BEE-9864-23369B99EA0B}'\n"
            "ManifestType: installer\n" %
            (hashlib.sha256(read(msi)).hexdigest().upper(), code, code) +
            tail,
            head + "PackageLocale: en-US\nPublisher: Lanternquill\n"
            "PackageName: Lanternquill\nLicense: Proprietary\n"
            "ShortDescription: 'Lanternquill remote trackpad and keyboard'\n"
            "ManifestType: defaultLocale\n" + tail,
            head + "DefaultLocale: en-US\nManifestType: version\n" + tail]
        self.assertEqual([read(work("packages", "real", m)).decode()
                          for m in MANIFESTS], expected)

    def test_leaves_the_windows_build_as_it_was(self):
        self.assertEqual(read(WINDOWS_CACHE), RUNS["windows cache"])

    def test_refuses_in_one_line_what_it_cannot_package_as_asked(self):
        together = "package: LQ_SIGN_CERT and LQ_SIGN_KEY are needed together"
        signing = {"LQ_SIGN_CERT": work("ours.pem"),
                   "LQ_SIGN_KEY": work("ours.key"),
                   "LQ_SIGN_PASSWORD": PASSWORD}
        vendor = dict(LQ_ENGINE_DIR=work("vendor"), LQ_PLUGINS_DIR=work(
            "vendor"), LQ_DATA_DIR=work("vendor", "data"))
        for name, env, line in [
                ("cert alone", {"LQ_SIGN_CERT": work("ours.pem")}, together),
                ("key alone", {"LQ_SIGN_KEY": work("ours.key")}, together),
                # Relative to where the script was started.
                ("relative", {"LQ_SIGN_PFX": "none.pfx"},
                 "package: cannot read LQ_SIGN_PFX=" + work("none.pfx")),
                ("stand-ins signed", signing,
                 "package: refusing to sign a package with stand-ins (%s); "
                 "LQ_SIGN_STAND_IN=1 signs it all the same" % STAND_INS),
                ("release untimestamped", dict(signing, **vendor),
                 "package: refusing to sign a release without a timestamp "
                 "server (LQ_SIGN_TIMESTAMP_URL); LQ_SIGN_UNTIMESTAMPED=1 "
                 "signs it all the same"),
                ("stand-in data given", {**signing, **vendor, "LQ_DATA_DIR":
                                         PACKAGE_BUILD + "/stand_in_data"},
                 "package: refusing to sign a package with stand-ins "
                 "(stand-in data); LQ_SIGN_STAND_IN=1 signs it all the same"),
                ("stand-ins released", {"LQ_RELEASE_URL": RELEASE_URL},
                 "package: refusing to write winget manifests for a package "
                 "with stand-ins (%s)" % STAND_INS),
                ("not verified", dict(signing, LQ_SIGN_STAND_IN="1",
                                      LQ_SIGN_CAFILE=work("other.pem")),
                 "package: the signature of lanternquill.exe does not verify "
                 "against " + work("other.pem"))]:
            with self.subTest(name):
                out = work("packages", "refused")
                shutil.rmtree(out, ignore_errors=True)
                status, _, stderr = run_package(
                    dict(env, LQ_PACKAGE_DIR=out), cwd=work())
                self.assertEqual((status, stderr), (1, [line]))
                self.assertEqual(os.listdir(out) if os.path.isdir(out)
                                 else [], [])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", default=os.path.join(ROOT, "build",
                                                       "release-test"))
    args, rest = parser.parse_known_args()
    WORK.append(os.path.abspath(args.work))
    os.makedirs(WORK[0], exist_ok=True)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
