#!/usr/bin/env python3
"""Validates Windows Installer packages with the ICE suites (Windows
Installer's Internal Consistency Evaluators), run on Windows by the WiX
toolset's `wix msi validate`. They catch authoring faults that Wine's msiexec
accepts. WiX only validates here; the packages are built by wixl.

Prints wix's output for each package and whether it reported each intended
warning listed below (one it no longer reports should leave the list), then
one line per finding that fails the run: an error, or a warning not listed as
intended (or wix failing without a message). Exits 1 when there is any.

Usage: validate_msi.py --wix WIX_EXE PACKAGE.msi...
"""

import argparse
import os
import re
import subprocess
import sys

# The warnings our authoring causes on purpose, each with its reason. Every
# other warning, and every error, fails the run.
INTENDED_WARNINGS = {
    "ICE61": "the upgrade row includes the package's own version (see "
             "UPGRADE_ATTRIBUTES in msi_package.py): a rebuild of the same "
             "version replaces the installed one rather than registering a "
             "second product beside it",
    "ICE91": "the files go to LocalAppDataFolder, which does not follow "
             "ALLUSERS: the package installs for one user only, and its "
             "launch conditions refuse ALLUSERS",
}
# wix's messages read "<origin> : error WIX0204: ICE38: <text>"; only the
# validation's own messages name an ICE.
MESSAGE = re.compile(r"\b(error|warning) WIX\d+: (?:(ICE\d+): )?")


def findings(output):
    """The lines of wix's output that fail the validation, and the intended
    warnings it reported."""
    failing, intended = [], set()
    for line in output.splitlines():
        match = MESSAGE.search(line)
        if not match:
            continue
        if match.group(1) == "warning" and match.group(2) in INTENDED_WARNINGS:
            intended.add(match.group(2))
        else:
            failing.append(line.strip())
    return failing, intended


def validate(wix, msi):
    """The lines that fail the validation of one package."""
    result = subprocess.run([wix, "msi", "validate", msi],
                            capture_output=True, text=True, errors="replace")
    output = result.stdout + result.stderr
    print("== %s\n%s" % (msi, output.rstrip()), flush=True)
    failing, intended = findings(output)
    for ice in sorted(INTENDED_WARNINGS):
        print("%s: %s: %s" % (ice, "intended" if ice in intended else
                              "listed as intended, not reported",
                              INTENDED_WARNINGS[ice]))
    if result.returncode != 0 and not failing:
        failing.append("wix exited %d" % result.returncode)
    return failing


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wix", required=True)
    parser.add_argument("packages", nargs="+")
    args = parser.parse_args()
    failing = [(msi, line) for msi in args.packages
               for line in validate(args.wix, msi)]
    for msi, line in failing:
        print("%s: %s" % (os.path.basename(msi), line))
    if failing:
        return 1
    print("ICE validation: %d packages, no error, no unintended warning" %
          len(args.packages))
    return 0


if __name__ == "__main__":
    sys.exit(main())
