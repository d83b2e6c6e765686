#!/usr/bin/env python3
"""The source check of scripts/test: what it must find, and the look-alikes
it must leave alone."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(HERE)),
                                "scripts"))

import check_msvc_sources as check  # noqa: E402


class SourceCheckTest(unittest.TestCase):
    def test_finds_what_msvc_rejects_and_leaves_look_alikes(self):
        table = [
            ('if (std::sscanf(line, "mark %lu", &n) == 1) {}',
             ["a.cc:1: sscanf is deprecated by MSVC (unsafe)"]),
            ('int x;\nFILE* f = fopen("a", "r");',
             ["a.cc:2: fopen is deprecated by MSVC (unsafe)"]),
            ("int fd = ::fileno(stdout);\nreturn strdup(text);",
             ["a.cc:1: fileno is deprecated by MSVC (POSIX name)",
              "a.cc:2: strdup is deprecated by MSVC (POSIX name)"]),
            ('swprintf(buffer, L"%d", 1);\nswprintf(buffer, 8, L"%d", 1);',
             ["a.cc:1: swprintf without a count is deprecated by MSVC"]),
            ("in.read(buffer, 4); out->write(x, 1); File::close(s);\n"
             "bool open(const char* path);\nstd::unique_ptr<T> read();\n"
             "_fileno(stdout); _dup2(a, 1); std::snprintf(b, 4, \"x\");\n"
             '// sprintf(buffer, "x");\nconst char* s = "getenv(";', []),
            ("const wchar_t e[] = {static_cast<wchar_t>(0x1F600), 0};\n"
             "x = WCHAR(65'536) + (wchar_t)0xFFFF + static_cast<wchar_t>(017);"
             "\nc = L'(' + u8'x';",
             ["a.cc:1: 0x1F600 does not fit a 16-bit wchar_t",
              "a.cc:2: 0x10000 does not fit a 16-bit wchar_t"]),
            # Portable files too: their headers follow <windows.h> in the
            # Windows sources that include both.
            ("for (unsigned char byte : s) {}\n"
             "void Put(uint8_t byte);\nbool* boolean = nullptr;",
             ["a.cc:1: byte hides the global byte of <windows.h>",
              "a.cc:2: byte hides the global byte of <windows.h>",
              "a.cc:3: boolean hides the global boolean of <windows.h>"]),
            ("std::byte b; x.byte = 1; return byte; f(byte);", []),
        ]
        for text, expected in table:
            with self.subTest(text=text):
                self.assertEqual(check.problems_in(text, "a.cc"), expected)


if __name__ == "__main__":
    unittest.main()
