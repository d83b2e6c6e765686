#!/usr/bin/env python3
"""The executable carries its manifest exactly once, byte for byte as
written: the DPI awareness the window relies on is in it, and a linker's
manifest of its own beside it, or in its place, would lose that. Reads the
resources of the PE file itself, so it runs wherever Python does.

Usage: exe_manifest_test.py EXE MANIFEST
"""

import struct
import sys
import unittest

RT_MANIFEST = 24
RESOURCE_DIRECTORY = 2
PATHS = {}


def pe_resources(image):
    """(type, name, language, bytes) of every resource of a PE image."""
    (pe_at,) = struct.unpack_from("<I", image, 0x3C)
    if image[:2] != b"MZ" or image[pe_at:pe_at + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe_at + 6)
    optional_at = pe_at + 24
    (magic,) = struct.unpack_from("<H", image, optional_at)
    directories_at = optional_at + (112 if magic == 0x20B else 96)
    rsrc_rva, _ = struct.unpack_from(
        "<II", image, directories_at + 8 * RESOURCE_DIRECTORY)
    table_at = optional_at + optional_size
    section_list = [struct.unpack_from("<8xIIII", image, table_at + 40 * i)
                    for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw_at in section_list:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_at + rva - address
        raise ValueError("address 0x%x is in no section" % rva)

    if rsrc_rva == 0:
        return []
    base = offset(rsrc_rva)

    def identifier(word):
        if word & 0x80000000 == 0:
            return word
        at = base + (word & 0x7FFFFFFF)
        (length,) = struct.unpack_from("<H", image, at)
        return image[at + 2:at + 2 + 2 * length].decode("utf-16-le")

    def directory(at):
        named, numbered = struct.unpack_from("<HH", image, at + 12)
        for i in range(named + numbered):
            word, target = struct.unpack_from("<II", image, at + 16 + 8 * i)
            yield identifier(word), target

    resources = []
    for kind, names in directory(base):
        for name, languages in directory(base + (names & 0x7FFFFFFF)):
            for language, entry in directory(base + (languages & 0x7FFFFFFF)):
                data_rva, size = struct.unpack_from("<II", image, base + entry)
                data_at = offset(data_rva)
                resources.append(
                    (kind, name, language, image[data_at:data_at + size]))
    return resources


class ExeManifestTest(unittest.TestCase):
    def test_carries_the_manifest_once_as_written(self):
        with open(PATHS["exe"], "rb") as f:
            resources = pe_resources(f.read())
        with open(PATHS["manifest"], "rb") as f:
            manifest = f.read()
        self.assertEqual([(name, data) for kind, name, _, data in resources
                          if kind == RT_MANIFEST], [(1, manifest)])


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    PATHS.update(exe=sys.argv[1], manifest=sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
