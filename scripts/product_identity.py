"""What the packages call the product and how Windows Installer tells a
release from a package that carries stand-ins."""

from bundle_folder import BundleError

PRODUCT = "Lanternquill"
EXECUTABLE = "lanternquill.exe"
DESCRIPTION = "Lanternquill remote trackpad and keyboard"
# Ties every version into one product line, so that a later package replaces
# the installed one. It must never change.
UPGRADE_CODE = "{7ED3C85F-C2BF-4BEE-9864-23369B99EA0B}"
# A package that carries a stand-in is a product of its own: "Installed apps"
# names it as one, and its upgrade code is its own, so that it never replaces
# a release and no release replaces it.
STAND_IN_PRODUCT = "Lanternquill (stand-in, not for release)"
STAND_IN_UPGRADE_CODE = "{A3D0AAE6-96D9-48B3-8F33-2256EF7133AB}"


def identity(stand_in):
    """(product name, upgrade code, the other kind's upgrade code)."""
    if stand_in:
        return STAND_IN_PRODUCT, STAND_IN_UPGRADE_CODE, UPGRADE_CODE
    return PRODUCT, UPGRADE_CODE, STAND_IN_UPGRADE_CODE


def product_version(info):
    version = info["product_version"]
    limits = (255, 255, 65535)
    fields = version.split(".")
    if len(fields) != 3 or not all(f.isdigit() and int(f) <= limit
                                   for f, limit in zip(fields, limits)):
        raise BundleError("product version %r is not an installer version "
                          "(major.minor.build up to 255.255.65535)" % version)
    return version
