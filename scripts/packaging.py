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


def main():
    parser = argparse.ArgumentParser()
    needs = {"msi": ["bundle", "info", "icon", "out"],
             "zip": ["bundle", "out"], "epoch": [], "stand-ins": ["bundle"],
             "winget": ["info", "msi", "url", "out"]}
    parser.add_argument("kind", choices=sorted(needs))
    for option in ("bundle", "info", "icon", "msi", "url", "out"):
        parser.add_argument("--" + option)
    args = parser.parse_args()
    missing = [n for n in needs[args.kind] if not getattr(args, n)]
    if missing:
        parser.error("%s needs --%s" % (args.kind, " --".join(missing)))
    try:
        if args.kind == "epoch":
            print(source_date_epoch())
            return
        if args.kind == "stand-ins":
            print(", ".join(find_stand_ins(args.bundle)))
            return
        if args.kind == "winget":
            with open(args.info, encoding="utf-8") as f:
                write_winget(json.load(f), args.msi, args.url, args.out)
            return
        if args.kind == "zip":
            build_zip(args.bundle, args.out, source_date_epoch())
            return
        with open(args.info, encoding="utf-8") as f:
            info = json.load(f)
        build_msi(args.bundle, info, args.icon, args.out)
    except (BundleError, subprocess.CalledProcessError) as error:
        print("packaging: %s" % error, file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main()
