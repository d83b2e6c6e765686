#!/usr/bin/env python3
"""The checks of the MSVC configure stage, each shown to fail when it must:
the stage passes only if they can."""

import os
import struct
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "scripts"))

import check_msvc_build as check  # noqa: E402

SOURCE = "/src"
BUILD = "/src/build/msvc"
GOOD = ("clang-cl /nologo -TP /DWIN32 -DNOMINMAX -MT /W4 /permissive- "
        "/utf-8 /WX -c -- ")


def res_entry(kind, name, data):
    """One .res entry: numeric type and name, then the fixed fields."""
    header = struct.pack("<IIHHHH", len(data), 32, 0xFFFF, kind, 0xFFFF, name)
    header += struct.pack("<IHHII", 0, 0x30, 0x409, 0, 0)
    return header + data + b"\0" * (-len(data) % 4)


class CompileCommandTest(unittest.TestCase):
    def test_reports_gcc_flags_everywhere_and_missing_switches_in_ours(self):
        table = [
            (GOOD + "/src/codec/a.cc", []),
            ("clang-cl -MTd -W4 -WX /DNOMINMAX=1 -c -- /src/codec/a.cc", []),
            ("clang-cl -MT -W4 -WX -DNOMINMAXX -c -- /src/input/b_win.cc",
             ["/src/input/b_win.cc: no NOMINMAX"]),
            (GOOD + "/src/resources/lanternquill.rc", []),
            ("clang-cl -MD -W3 -c -- /usr/src/googletest/gtest-all.cc", []),
            ("clang-cl -MD -c -- /src/build/msvc/generated.cc", []),
            (GOOD + "-Wextra -Wpedantic -Wall -Werror /src/codec/a.cc",
             ["/src/codec/a.cc: GCC-only flag -Wextra",
              "/src/codec/a.cc: GCC-only flag -Wpedantic",
              "/src/codec/a.cc: GCC-only flag -Wall",
              "/src/codec/a.cc: GCC-only flag -Werror"]),
            ("clang-cl -municode -static -MT -c -- /usr/src/x.cc",
             ["/usr/src/x.cc: GCC-only flag -municode",
              "/usr/src/x.cc: GCC-only flag -static"]),
            ("clang-cl -MD /W3 -c -- /src/host/main_win.cc",
             ["/src/host/main_win.cc: no /W4", "/src/host/main_win.cc: no /WX",
              "/src/host/main_win.cc: not the static runtime (/MT)",
              "/src/host/main_win.cc: no NOMINMAX"]),
        ]
        for command, expected in table:
            with self.subTest(command=command):
                entry = {"file": command.split()[-1], "command": command}
                self.assertEqual(
                    check.compile_problems(entry, SOURCE, BUILD), expected)


class ManifestTest(unittest.TestCase):
    def test_counts_the_rc_manifest_and_the_linkers_own(self):
        ninja = ("build host/lanternquill.exe: CXX_EXECUTABLE_LINKER__lq "
                 "a.obj host/lanternquill.rc.res | lib.lib $\n"
                 "    more.lib\n"
                 "  LINK_FLAGS = %s\n"
                 "  MANIFESTS = %s\n"
                 "build other.exe: CXX_EXECUTABLE_LINKER__other b.obj\n"
                 "  LINK_FLAGS = /subsystem:console -municode\n")
        two = ["lanternquill.exe: 2 manifests (1 from lanternquill.rc, "
               "1 from the link)"]
        table = [
            ("/subsystem:windows /MANIFEST:NO", "", 1, []),
            ("/subsystem:windows -manifest:no", "", 1, []),
            ("/subsystem:windows", "", 1, two),
            ("/MANIFEST:NO /MANIFEST:EMBED", "", 1, two),
            ("/MANIFEST:NO", "app.manifest", 1, two),
            ("/MANIFEST:NO", "", 0,
             ["lanternquill.exe: 0 manifests (0 from lanternquill.rc, "
              "0 from the link)"]),
        ]
        for link_flags, manifests, from_rc, expected in table:
            with self.subTest(link_flags=link_flags, manifests=manifests,
                              from_rc=from_rc):
                statements = check.ninja_statements(
                    ninja % (link_flags, manifests))
                self.assertEqual(
                    check.manifest_problems(statements, from_rc), expected)
        self.assertEqual(
            check.link_flag_problems(check.ninja_statements(ninja % ("", ""))),
            ["other.exe: GCC-only link flag -municode"])
        self.assertEqual(check.manifest_problems([], 1),
                         ["0 links of lanternquill.exe"])

    def test_reads_every_resource_of_a_res_file(self):
        manifest = b"<assembly/>\n"
        data = (res_entry(0, 0, b"") + res_entry(24, 1, manifest) +
                res_entry(14, 101, b"icon group") + res_entry(24, 2, b"x"))
        self.assertEqual(check.res_entries(data), [
            (24, 1, manifest), (14, 101, b"icon group"), (24, 2, b"x")])
        with self.assertRaises(ValueError):
            check.res_entries(struct.pack("<II", 0, 0))


class SymbolCheckTest(unittest.TestCase):
    def test_needs_a_lister_that_exists_once_registered(self):
        line = '%s: its lister "%%s" is no program' % check.SYMBOL_CHECK
        for lister, expected in [(sys.executable + ";/symbols", []),
                                 ("", [line % ""]),
                                 ("/no/nm", [line % "/no/nm"])]:
            with self.subTest(lister=lister):
                tests = [{"name": "other", "command": ["-DNM="]},
                         {"name": check.SYMBOL_CHECK,
                          "command": ["-DNM=" + lister]}]
                self.assertEqual(check.symbol_check_problems(tests), expected)


if __name__ == "__main__":
    unittest.main()
