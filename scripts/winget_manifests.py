"""The winget manifests of a release's MSI."""

import hashlib
import os
import re

from bundle_folder import BundleError
from msi_package import msi_properties
from product_identity import (DESCRIPTION, PRODUCT, UPGRADE_CODE,
                              product_version)

# The winget package: its manifests name the MSI at the release address with
# its digest and product code. Windows shows, and winget then compares, the
# installer's version (see product_version), not the package's.
WINGET_ID = "Lanternquill.Lanternquill"
WINGET_MANIFEST_VERSION = "1.6.0"
WINGET_LICENSE = "Proprietary"


def yaml_text(value):
    """A YAML scalar that stays a string whatever it holds."""
    return "'%s'" % value.replace("'", "''")


def winget_manifests(info, msi, url):
    """{file name: text} of the version, installer and default-locale
    manifests of the package whose MSI is released at url."""
    with open(msi, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest().upper()
    properties = msi_properties(msi)
    product_code = properties.get("ProductCode", "")
    if not re.fullmatch(r"\{[0-9A-F-]{36}\}", product_code):
        raise BundleError("%s has no product code" % msi)
    # The manifests name the release's upgrade code: a stand-in's would make
    # winget take one product for the other.
    if properties.get("UpgradeCode") != UPGRADE_CODE:
        raise BundleError("%s is not a release: its upgrade code is %s" %
                          (msi, properties.get("UpgradeCode")))
    head = ("# Written by scripts/package.\n"
            "PackageIdentifier: %s\nPackageVersion: %s\n" %
            (WINGET_ID, yaml_text(info["version"])))
    tail = "ManifestVersion: %s\n" % WINGET_MANIFEST_VERSION
    return {
        WINGET_ID + ".yaml": head +
        "DefaultLocale: en-US\nManifestType: version\n" + tail,
        WINGET_ID + ".installer.yaml": head +
        "InstallerType: msi\nScope: user\nUpgradeBehavior: install\n"
        "Installers:\n"
        "- Architecture: x64\n"
        "  InstallerUrl: %s\n"
        "  InstallerSha256: %s\n"
        "  ProductCode: %s\n"
        "  AppsAndFeaturesEntries:\n"
        "  - DisplayVersion: %s\n"
        "    ProductCode: %s\n"
        "    UpgradeCode: %s\n"
        "ManifestType: installer\n" %
        (yaml_text(url.rstrip("/") + "/" + os.path.basename(msi)), digest,
         yaml_text(product_code), yaml_text(product_version(info)),
         yaml_text(product_code), yaml_text(UPGRADE_CODE)) + tail,
        WINGET_ID + ".locale.en-US.yaml": head +
        "PackageLocale: en-US\nPublisher: %s\nPackageName: %s\n"
        "License: %s\nShortDescription: %s\nManifestType: defaultLocale\n" %
        (PRODUCT, PRODUCT, WINGET_LICENSE, yaml_text(DESCRIPTION)) + tail,
    }


def write_winget(info, msi, url, out_dir):
    for name, text in winget_manifests(info, msi, url).items():
        with open(os.path.join(out_dir, name), "w", encoding="utf-8",
                  newline="\n") as f:
            f.write(text)
