#!/usr/bin/env python3
"""Tests of the packaging logic that needs no Windows: the version checks and
the product-version mapping, and the installer source generated from a
bundle folder. The packages themselves are installed under Wine by
install_test.py.

Usage: packaging_test.py [--cmake CMAKE] [TestCase ...]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

from bundle_folder import BundleError, read_bundle  # noqa: E402
import msi_package  # noqa: E402

CMAKE = ["cmake"]
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"


def parse_version(version):
    """What the build makes of a version: its one printed line, or the text
    of the error CMake wrapped over several lines."""
    result = subprocess.run(
        CMAKE + ["-DVERSION=" + version, "-P",
                 os.path.join(HERE, "parse_version.cmake")],
        capture_output=True, text=True, timeout=60)
    lines = result.stderr.splitlines()
    if result.returncode == 0:
        return lines
    message = lines[1:lines.index("Call Stack (most recent call first):")]
    return ["error", " ".join(line.strip() for line in message)]


class VersionTest(unittest.TestCase):
    def test_accepts_what_the_installer_can_order_and_refuses_the_rest(self):
        def malformed(version):
            return ["error", 'Version "%s" is not four numbers '
                    "major.minor.patch.build, like 1.0.0.1" % version]

        def out_of_range(version):
            return ["error", "Version %s out of range: major, minor <= 255, "
                    "patch <= 64, build <= 999" % version]

        table = [
            ("1.0.0.1", ["1.0.0.1 1,0,0,1 1.0.0+1 1.0.1"]),
            ("1.2.3.45", ["1.2.3.45 1,2,3,45 1.2.3+45 1.2.3045"]),
            ("255.255.64.999",
             ["255.255.64.999 255,255,64,999 255.255.64+999 255.255.64999"]),
            ("0.0.0.0", ["0.0.0.0 0,0,0,0 0.0.0+0 0.0.0"]),
            ("1.0.0", malformed("1.0.0")),
            ("1.0.0.1.2", malformed("1.0.0.1.2")),
            ("01.0.0.1", malformed("01.0.0.1")),
            ("1.0.0.-1", malformed("1.0.0.-1")),
            ("1.0.0.1a", malformed("1.0.0.1a")),
            ("", malformed("")),
            ("256.0.0.0", out_of_range("256.0.0.0")),
            ("1.256.0.0", out_of_range("1.256.0.0")),
            ("1.0.65.0", out_of_range("1.0.65.0")),
            ("1.0.0.1000", out_of_range("1.0.0.1000")),
            ("1.0.99999999999999999999.0",
             out_of_range("1.0.99999999999999999999.0")),
        ]
        for version, expected in table:
            with self.subTest(version=version):
                self.assertEqual(parse_version(version), expected)

    def test_every_later_version_is_a_later_product(self):
        # Neighbours across each field's roll-over; the installer compares
        # the three fields as numbers.
        versions = ["0.0.0.0", "1.0.0.1", "1.0.0.2", "1.0.0.999", "1.0.1.0",
                    "1.0.64.999", "1.1.0.0", "1.255.64.999", "2.0.0.0"]
        products = []
        for version in versions:
            product = parse_version(version)[0].split()[-1]
            products.append(tuple(int(f) for f in product.split(".")))
        for older, newer, a, b in zip(versions, versions[1:], products,
                                      products[1:]):
            with self.subTest(older=older, newer=newer):
                self.assertLess(a, b)


INFO = {"version": "1.2.3.4", "version_text": "1.2.3+4",
        "product_version": "1.2.3004"}


class InstallerSourceTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="lq-package-test-")
        self.addCleanup(shutil.rmtree, self.work)

    def bundle(self, name, files):
        root = os.path.join(self.work, name)
        for rel in files:
            os.makedirs(os.path.dirname(os.path.join(root, rel)),
                        exist_ok=True)
            with open(os.path.join(root, rel), "wb") as f:
                f.write(rel.encode())
        return root

    def components(self, bundle):
        """(Id, GUID, key path root, file name) of every component."""
        document = ET.fromstring(msi_package.wix_source(
            read_bundle(bundle), INFO, bundle,
            os.path.join(self.work, "icon.ico"), self.work))
        return sorted(
            (c.get("Id"), c.get("Guid"),
             tuple(v.get("Root") for v in c.findall(WIX + "RegistryValue")
                  if v.get("KeyPath") == "yes"),
             [f.get("Name") for f in c.findall(WIX + "File")])
            for c in document.iter(WIX + "Component"))

    def test_components_are_per_user_and_the_same_for_every_build(self):
        files = ["lanternquill.exe", "data/app.so",
                 "data/flutter_assets/fonts/Material [1] & co.otf"]
        # The same bundle elsewhere, as the next build or version lays it out.
        components = self.components(self.bundle("a", files))
        self.assertEqual(self.components(self.bundle("b/c", files)),
                         components)
        self.assertEqual(len({guid for _, guid, _, _ in components}),
                         len(components))
        self.assertEqual({roots for _, _, roots, _ in components},
                         {("HKCU",)})
        self.assertEqual(sorted(n for _, _, _, names in components
                                for n in names),
                         sorted(os.path.basename(f) for f in files))

    def test_refuses_what_would_not_install_as_it_is(self):
        def link(root):
            os.symlink("/etc/passwd", os.path.join(root, "passwd"))

        def undecodable(root):
            open(os.path.join(os.fsencode(root), b"\xff.png"), "wb").close()

        exe = ["lanternquill.exe"]
        table = [
            ("case", exe + ["data/Icon.png", "data/icon.png"], None, INFO,
             "data/Icon.png and data/icon.png differ only in case; Windows "
             "would keep one of them"),
            ("colon", exe + ["data/a:b.png"], None, INFO,
             "'data/a:b.png' is not a valid Windows file name"),
            ("reserved", exe + ["data/nul.txt"], None, INFO,
             "'data/nul.txt' is not a valid Windows file name"),
            ("trailing dot", exe + ["data/name."], None, INFO,
             "'data/name.' is not a valid Windows file name"),
            ("variable", exe + ["data/a$(env.HOME).png"], None, INFO,
             "'data/a$(env.HOME).png' holds \"$(\", which wixl would "
             "expand"),
            ("link", exe, link, INFO, "passwd is neither a file nor a folder"),
            ("raw", exe, undecodable, INFO,
             "'\\udcff.png' is not a UTF-8 name"),
            # Windows-1252 and beyond: each is another name, or none, in
            # some system's code page.
            ("latin", exe + ["data/\u00fcber.png"], None, INFO,
             "'data/\u00fcber.png' is not an ASCII name, which the "
             "installer cannot carry to every Windows system"),
            ("cyrillic folder", exe + ["data/\u0436\u0443\u043a/a.png"],
             None, INFO, "'data/\u0436\u0443\u043a' is not an ASCII name, "
             "which the installer cannot carry to every Windows system"),
            ("no exe", ["data/app.so"], None, INFO,
             "{bundle} holds no lanternquill.exe"),
            ("version", exe, None, dict(INFO, product_version="1.2.70000"),
             "product version '1.2.70000' is not an installer version "
             "(major.minor.build up to 255.255.65535)"),
        ]
        icon = os.path.join(ROOT, "resources", "app_icon.ico")
        for name, files, extra, info, message in table:
            with self.subTest(name):
                bundle = self.bundle(name, files)
                out = bundle + ".msi"
                if extra:
                    extra(bundle)
                with self.assertRaises(BundleError) as caught:
                    msi_package.build_msi(bundle, info, icon, out)
                self.assertEqual(str(caught.exception),
                                 message.format(bundle=bundle))
                self.assertFalse(os.path.exists(out))


class InstallerPackageTest(unittest.TestCase):
    def test_is_a_64_bit_package(self):
        work = tempfile.mkdtemp(prefix="lq-package-test-")
        self.addCleanup(shutil.rmtree, work)
        bundle = os.path.join(work, "bundle")
        os.makedirs(os.path.join(bundle, "data"))
        for rel in ("lanternquill.exe", "data/app.so"):
            open(os.path.join(bundle, rel), "wb").close()
        msi = os.path.join(work, "package.msi")
        msi_package.build_msi(bundle, INFO, os.path.join(
            ROOT, "resources", "app_icon.ico"), msi)
        summary = subprocess.run(["msiinfo", "suminfo", msi], check=True,
                                 capture_output=True, text=True).stdout
        self.assertIn("Template: x64;1033\n", summary)
        # Every component 64-bit (msidbComponentAttributes64bit).
        components = msi_package.msi_table(msi, "Component")
        self.assertGreater(len(components), 5)
        self.assertEqual([row[0] for row in components
                          if not int(row[3]) & 0x100], [])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", default="cmake")
    args, rest = parser.parse_known_args()
    CMAKE[:] = [args.cmake]
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
