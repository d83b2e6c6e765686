#!/usr/bin/env python3
"""Checks a build folder configured for the MSVC toolchain (here clang-cl,
which nothing can compile with on Linux, so only the generated files are
read), and the resources compiled as rc.exe compiles them.

It reports, one line each, and exits 1 when there is any:
- a compile or link command with a switch only GCC and Clang understand;
- one of our own C++ sources compiled without /W4, /WX, the static runtime
  or NOMINMAX (without it <windows.h> defines the macros min and max);
- a link of lanternquill.exe that would embed a second manifest beside the
  one of lanternquill.rc (the linker's own, or a .manifest source);
- a symbol check that would run no program that exists: cl.exe leaves
  CMake's nm unset, so configure it with CMAKE_NM empty to see this.

Usage: check_msvc_build.py --build DIR --res FILE.res
"""

import argparse
import json
import os
import re
import shlex
import struct
import subprocess
import sys

# Switches of GCC and Clang that MSVC rejects or reads differently (-Wall is
# /Wall to MSVC: every warning of the system headers). MSVC's own are /W0 to
# /W4, /WX, /MT... and take ":" where GCC takes "=".
GCC_ONLY = re.compile(
    r"^-(W(?![0-4]$|X$).+|m[a-z].*|f[a-z].*|static.*|shared|pthread|"
    r"pedantic.*|std=.*)$")
CXX_SOURCE = re.compile(r"\.(c|cc|cpp|cxx)$")
NOMINMAX = re.compile(r"^[/-]DNOMINMAX(=.*)?$")
RT_MANIFEST = 24
EXE_NAME = "lanternquill.exe"
# The test that reads the product's symbol tables, and its switch that names
# the lister (a program, then its own arguments).
SYMBOL_CHECK = "product_libraries_carry_no_test_counter"
LISTER_SWITCH = "-DNM="


def msvc_switch(token, name):
    """Whether `token` is MSVC's switch `name`, written with / or -."""
    return token[:1] in ("/", "-") and token[1:] == name


def compile_problems(entry, source_dir, build_dir):
    """The problems of one entry of compile_commands.json."""
    file = os.path.normpath(entry["file"])
    tokens = entry.get("arguments") or shlex.split(entry["command"])
    problems = ["%s: GCC-only flag %s" % (file, token)
                for token in tokens if GCC_ONLY.match(token)]
    ours = (file.startswith(source_dir + os.sep) and
            not file.startswith(build_dir + os.sep))
    if ours and CXX_SOURCE.search(file):
        for name in ("W4", "WX"):
            if not any(msvc_switch(token, name) for token in tokens):
                problems.append("%s: no /%s" % (file, name))
        if not any(msvc_switch(token, name) for token in tokens
                   for name in ("MT", "MTd")):
            problems.append("%s: not the static runtime (/MT)" % file)
        if not any(NOMINMAX.match(token) for token in tokens):
            problems.append("%s: no NOMINMAX" % file)
    return problems


def ninja_statements(text):
    """(outputs, rule, inputs, variables) of each build statement."""
    text = text.replace("$\n", "")
    statements = []
    for line in text.splitlines():
        if line.startswith("build "):
            head, _, rest = line[len("build "):].partition(": ")
            words = rest.split()
            statements.append((head.split(), words[0] if words else "",
                               words[1:], {}))
        elif line.startswith("  ") and statements and " = " in line:
            name, _, value = line.strip().partition(" = ")
            statements[-1][3][name] = value
    return statements


def linker_makes_manifest(link_flags):
    """Whether the MSVC link (through CMake's wrapper) embeds a manifest of
    its own: unless /MANIFEST:NO is the last word on it."""
    made = True
    for token in shlex.split(link_flags):
        if re.match(r"^[/-]manifest(:.*)?$", token, re.IGNORECASE):
            made = token.lower()[1:] != "manifest:no"
    return made


def manifest_problems(statements, rc_manifests):
    """The problems of the link of lanternquill.exe, whose .rc carries
    `rc_manifests` manifests."""
    links = [s for s in statements
             if any(os.path.basename(o) == EXE_NAME for o in s[0])
             and s[1].startswith("CXX_EXECUTABLE_LINKER")]
    if len(links) != 1:
        return ["%d links of %s" % (len(links), EXE_NAME)]
    _, _, inputs, variables = links[0]
    from_rc = rc_manifests if any(
        i.endswith("lanternquill.rc.res") for i in inputs) else 0
    from_link = int(linker_makes_manifest(variables.get("LINK_FLAGS", "")) or
                    bool(variables.get("MANIFESTS", "").strip()))
    if from_rc + from_link != 1:
        return ["%s: %d manifests (%d from lanternquill.rc, %d from the link)"
                % (EXE_NAME, from_rc + from_link, from_rc, from_link)]
    return []


def link_flag_problems(statements):
    return ["%s: GCC-only link flag %s" % (outputs[0], token)
            for outputs, _, _, variables in statements
            for token in shlex.split(variables.get("LINK_FLAGS", ""))
            if GCC_ONLY.match(token)]


def symbol_check_problems(tests):
    """The problems of the symbol check among `tests` (CTest's JSON list): it
    must run a lister that exists. Not registered is fine: configure has said
    so."""
    problems = []
    for test in tests:
        if test.get("name") == SYMBOL_CHECK:
            lister = next((arg[len(LISTER_SWITCH):].split(";")[0]
                           for arg in test["command"]
                           if arg.startswith(LISTER_SWITCH)), "")
            if not os.path.isfile(lister):
                problems.append('%s: its lister "%s" is no program' %
                                (SYMBOL_CHECK, lister))
    return problems


def res_entries(data):
    """(type, name, bytes) of each resource in a .res file, whose entries are
    a header (data and header size, then type and name, each 0xFFFF and a
    number or a UTF-16 string, then fields of no interest here) and the data,
    each aligned to 4 bytes. The empty first entry only marks the format."""

    def identifier(at):
        """The number or name at `at`, and where the next field starts."""
        (first,) = struct.unpack_from("<H", data, at)
        if first == 0xFFFF:
            return struct.unpack_from("<H", data, at + 2)[0], at + 4
        end = at
        while struct.unpack_from("<H", data, end)[0] != 0:
            end += 2
        return data[at:end].decode("utf-16-le"), end + 2

    entries = []
    at = 0
    while at + 8 <= len(data):
        data_size, header_size = struct.unpack_from("<II", data, at)
        if header_size < 32:
            raise ValueError("not a .res file: header of %d bytes at %d" %
                             (header_size, at))
        kind, name_at = identifier(at + 8)
        name, _ = identifier(name_at)
        body = data[at + header_size:at + header_size + data_size]
        if data_size or kind != 0:
            entries.append((kind, name, body))
        at = (at + header_size + data_size + 3) & ~3
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--res", required=True,
                        help="lanternquill.rc compiled by llvm-rc")
    args = parser.parse_args()
    build_dir = os.path.abspath(args.build)
    source_dir = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

    with open(os.path.join(build_dir, "compile_commands.json")) as f:
        entries = json.load(f)
    with open(os.path.join(build_dir, "build.ninja")) as f:
        statements = ninja_statements(f.read())
    with open(args.res, "rb") as f:
        rc_manifests = sum(1 for entry in res_entries(f.read())
                           if entry[0] == RT_MANIFEST)

    problems = [p for e in entries
                for p in compile_problems(e, source_dir, build_dir)]
    problems += link_flag_problems(statements)
    problems += manifest_problems(statements, rc_manifests)
    tests = subprocess.run(
        ["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
        check=True, capture_output=True, text=True).stdout
    problems += symbol_check_problems(json.loads(tests)["tests"])
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("msvc-check: %d compile commands clean, one manifest" % len(entries))
    return 0


if __name__ == "__main__":
    sys.exit(main())
