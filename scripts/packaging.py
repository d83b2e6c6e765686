#!/usr/bin/env python3
"""The command that scripts/package runs for each package of a bundle
folder: the per-user Windows Installer package, the zips and the winget
manifests, each made by a module beside this one. Standard library only.

Usage: packaging.py msi --bundle DIR --info package_info.json --icon ICO
                        --out MSI
       packaging.py zip --bundle DIR --out ZIP
       packaging.py stand-ins --bundle DIR   (prints the stand-ins it holds)
       packaging.py epoch    (prints the time the zips hold)
       packaging.py winget --info package_info.json --msi MSI --url URL
                           --out DIR
"""

import argparse
import json
import subprocess
import sys

from bundle_folder import BundleError, find_stand_ins
from msi_package import build_msi
from reproducible_zip import build_zip, source_date_epoch
from winget_manifests import write_winget


def read_info(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


# Each command: the options it needs, and what it does with them.
COMMANDS = {
    "msi": (["bundle", "info", "icon", "out"],
            lambda a: build_msi(a.bundle, read_info(a.info), a.icon, a.out)),
    "zip": (["bundle", "out"],
            lambda a: build_zip(a.bundle, a.out, source_date_epoch())),
    "stand-ins": (["bundle"],
                  lambda a: print(", ".join(find_stand_ins(a.bundle)))),
    "epoch": ([], lambda a: print(source_date_epoch())),
    "winget": (["info", "msi", "url", "out"], lambda a: write_winget(
        read_info(a.info), a.msi, a.url, a.out)),
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=sorted(COMMANDS))
    for option in ("bundle", "info", "icon", "msi", "url", "out"):
        parser.add_argument("--" + option)
    args = parser.parse_args()
    needs, command = COMMANDS[args.kind]
    missing = [n for n in needs if not getattr(args, n)]
    if missing:
        parser.error("%s needs --%s" % (args.kind, " --".join(missing)))
    try:
        command(args)
    except (BundleError, subprocess.CalledProcessError) as error:
        print("packaging: %s" % error, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
