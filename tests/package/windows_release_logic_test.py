#!/usr/bin/env python3
"""The judgements of windows_release_test.py that need no Windows: which
installer it picks, how it reads reg's output, and the exact lines it
fails with for a wrong reply or whatever an uninstall left behind."""

import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "support"))

from host_harness import parse_reg_query  # noqa: E402
import windows_release_test as release  # noqa: E402

CLEAN = {"files": [], "shortcut": None, "run_value": None, "apps": [],
         "processes": []}


class WindowsReleaseLogicTest(unittest.TestCase):
    def test_finds_the_one_installer_of_the_version(self):
        table = [
            # files in the folder, version, picked or the failure line
            (["Lanternquill-1.0.0.1.msi"], "1.0.0.1",
             "Lanternquill-1.0.0.1.msi"),
            (["Lanternquill-1.0.0.1-stand-in.msi",
              "Lanternquill-1.0.0.1-stand-in-portable.zip",
              "Lanternquill-1.0.0.1-stand-in-symbols.zip"], "1.0.0.1",
             "Lanternquill-1.0.0.1-stand-in.msi"),
            (["Lanternquill-1.0.0.10.msi", "Lanternquill-1.0.0.1.msi"],
             "1.0.0.1", "Lanternquill-1.0.0.1.msi"),
            (["Lanternquill-1.0.0.10.msi",
              "Lanternquill-1.0.0.1-portable.zip"], "1.0.0.1",
             "expected one Lanternquill-1.0.0.1*.msi in {dir}, found none"),
            (["Lanternquill-1.0.0.1.msi", "Lanternquill-1.0.0.1-stand-in.msi"],
             "1.0.0.1",
             "expected one Lanternquill-1.0.0.1*.msi in {dir}, found "
             "Lanternquill-1.0.0.1-stand-in.msi, Lanternquill-1.0.0.1.msi"),
        ]
        for files, version, expected in table:
            with self.subTest(files=files), \
                    tempfile.TemporaryDirectory() as folder:
                for name in files:
                    open(os.path.join(folder, name), "w").close()
                try:
                    found = os.path.basename(release.find_msi(folder, version))
                except release.Failure as failure:
                    found = str(failure)
                self.assertEqual(found, expected.format(dir=folder))

    def test_reads_reg_query_output(self):
        reg = ("\r\n"
               "HKEY_CURRENT_USER\\Software\\Run\r\n"
               "    Lanternquill    REG_SZ    \"C:\\A B\\x.exe\"\r\n"
               "    Empty    REG_SZ\r\n"
               "    Two  Spaces    REG_DWORD    0x1\r\n"
               "\r\n"
               "HKEY_CURRENT_USER\\Software\\Run\\Sub\r\n"
               "    (Default)    REG_SZ    a    b\r\n")
        self.assertEqual(parse_reg_query(reg), {
            "HKEY_CURRENT_USER\\Software\\Run": {
                "Lanternquill": '"C:\\A B\\x.exe"', "Empty": "",
                "Two  Spaces": "0x1"},
            "HKEY_CURRENT_USER\\Software\\Run\\Sub": {"(Default)": "a    b"},
        })

    def test_names_a_wrong_reply_byte_for_byte(self):
        expected = "status 0, bytes [00 01]"
        table = [
            ((0, b"\x00\x01"), []),
            ((0, b"\x00\x02"), ["status 0, bytes [00 02]"]),
            ((0, b"\x00\x01\x00"), ["status 0, bytes [00 01 00]"]),
            ((0, b""), ["status 0, bytes []"]),
            ((1, b"\x00\x01"), ["status 1, bytes [00 01]"]),
        ]
        for reply, got in table:
            with self.subTest(reply=reply):
                self.assertEqual(release.reply_problems(reply), [
                    "checkAccessibility replied %s; expected %s" %
                    (line, expected) for line in got])

    def test_names_everything_an_uninstall_left(self):
        table = [
            ({}, []),
            ({"files": ["C:\\P\\Lanternquill", "C:\\P\\Lanternquill\\a.dll"]},
             ["file left: C:\\P\\Lanternquill",
              "file left: C:\\P\\Lanternquill\\a.dll"]),
            ({"shortcut": "C:\\S\\Lanternquill.lnk"},
             ["Start-menu shortcut left: C:\\S\\Lanternquill.lnk"]),
            ({"run_value": '"C:\\P\\lanternquill.exe"'},
             ['Run value "Lanternquill" left: "C:\\P\\lanternquill.exe"']),
            # An empty value is still a value.
            ({"run_value": ""}, ['Run value "Lanternquill" left: ']),
            ({"apps": [("HKEY_X\\InstallProperties", "1.0.2"),
                       ("HKEY_Y\\Products\\B0", "unknown")]},
             ["Installed apps entry left: HKEY_X\\InstallProperties "
              "(version 1.0.2)",
              "Installed apps entry left: HKEY_Y\\Products\\B0 "
              "(version unknown)"]),
            ({"processes": [4120]},
             ["process left running: lanternquill.exe (pid 4120)"]),
        ]
        for change, lines in table:
            with self.subTest(change=sorted(change)):
                self.assertEqual(release.leftovers(dict(CLEAN, **change)),
                                 lines)

    def test_explains_msiexec_exit_codes_as_they_arrive(self):
        table = [
            (3010, False, "3010 (a restart is required to complete the "
             "installation)"),
            # Under Wine only the low eight bits reach Linux.
            (194, True, "194 (3010, a restart is required to complete the "
             "installation)"),
            (67, True, "67 (1603, fatal error during installation)"),
            (194, False, "194"),
            (1, True, "1"),
        ]
        for code, under_wine, line in table:
            with self.subTest(code=code, under_wine=under_wine):
                self.assertEqual(
                    release.describe_msiexec_exit(code, under_wine), line)


if __name__ == "__main__":
    unittest.main()
