"""The bundle folder as the packages carry it: its tree, read with every
name checked for Windows, and the stand-ins it holds, known by the marker
each carries."""

import mmap
import os
import re
import stat

# The text each stand-in the build makes carries, followed by what it stands
# in for (sim/stand_in_marker.h, host/bundle.cmake), in the order they are
# named.
STAND_IN_MARKER = re.compile(
    rb"Lanternquill stand-in, not for release: ([a-z -]+)")
STAND_IN_KINDS = ["simulated engine", "stand-in plugins", "stand-in data"]
# What Windows cannot hold in a file name; such a bundle would install
# different files than it carries, or fail half-way.
INVALID_CHARACTERS = re.compile(r'[<>:"/\\|?*\x00-\x1f]')
RESERVED_NAMES = re.compile(r"^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\..*)?$",
                            re.IGNORECASE)


class BundleError(Exception):
    """A bundle or build result that cannot be packaged; the message says
    why in one line."""


class Folder:
    def __init__(self, rel):
        self.rel = rel
        self.folders = []
        self.files = []


def read_bundle(root, rel=""):
    """The folder tree under root, sorted, with every name checked."""
    folder = Folder(rel)
    path = os.path.join(root, rel)
    seen = {}
    for name in sorted(os.listdir(path)):
        child = name if not rel else rel + "/" + name
        check_name(child, name)
        if name.lower() in seen:
            raise BundleError("%s and %s differ only in case; Windows would "
                              "keep one of them" % (seen[name.lower()], child))
        seen[name.lower()] = child
        mode = os.lstat(os.path.join(root, child)).st_mode
        if stat.S_ISDIR(mode):
            folder.folders.append(read_bundle(root, child))
        elif stat.S_ISREG(mode):
            folder.files.append(child)
        else:
            raise BundleError("%s is neither a file nor a folder" % child)
    return folder


def check_name(rel, name):
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:
        raise BundleError("%r is not a UTF-8 name" % rel) from None
    if INVALID_CHARACTERS.search(name) or RESERVED_NAMES.match(name) or \
            name[-1] in ". ":
        raise BundleError("%r is not a valid Windows file name" % rel)
    # wixl expands $(...) in every attribute and has no escape for it: such a
    # name would be installed as another name, from another source file.
    if "$(" in name:
        raise BundleError("%r holds \"$(\", which wixl would expand" % rel)


def find_stand_ins(bundle):
    """The stand-ins whose marker a file under bundle carries, named in the
    order of STAND_IN_KINDS (others after them)."""
    found = set()
    for folder, _, files in os.walk(bundle):
        for name in files:
            with open(os.path.join(folder, name), "rb") as f:
                if os.fstat(f.fileno()).st_size == 0:
                    continue
                with mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ) as m:
                    found.update(match.group(1).decode() for match in
                                 STAND_IN_MARKER.finditer(m))
    return sorted(found, key=lambda kind: (
        STAND_IN_KINDS.index(kind) if kind in STAND_IN_KINDS
        else len(STAND_IN_KINDS), kind))
