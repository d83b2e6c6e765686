"""The zips of a bundle folder: the same bytes for the same files."""

import os
import stat
import subprocess
import time
import zipfile

from bundle_folder import BundleError, read_bundle
from product_identity import PRODUCT

# The earliest time a zip entry can hold (1980-01-01, UTC).
ZIP_EPOCH = 315532800


def source_date_epoch():
    """The time every zip entry carries, so that the same inputs give the
    same bytes: SOURCE_DATE_EPOCH, else the commit time of the checkout's
    HEAD, else the earliest time a zip can hold."""
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value is None:
        result = subprocess.run(
            ["git", "-C", os.path.dirname(os.path.abspath(__file__)), "log",
             "-1", "--format=%ct"], capture_output=True, text=True)
        value = result.stdout.strip() if result.returncode == 0 else ""
        if not value.isdigit():
            return ZIP_EPOCH
    elif not value.isdigit():
        raise BundleError("SOURCE_DATE_EPOCH=%r is not a number of seconds "
                          "since 1970" % value)
    return max(int(value), ZIP_EPOCH)


def build_zip(bundle, out, epoch):
    """The bundle under one folder named Lanternquill, the same bytes for the
    same files whatever their times and modes on disk. zipfile marks
    non-ASCII names as UTF-8, which Windows reads as such; Info-ZIP's zip
    leaves them unmarked, and Windows then decodes them in its OEM code page
    into different names."""
    folder = read_bundle(bundle)
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as archive:
        add_to_zip(archive, bundle, folder, time.gmtime(epoch)[:6])
    os.replace(partial, out)


def zip_entry(name, date_time, mode):
    entry = zipfile.ZipInfo(name, date_time)
    entry.create_system = 3  # Unix, so that the mode below is read.
    entry.external_attr = mode << 16
    return entry


def add_to_zip(archive, bundle, folder, date_time):
    entry = zip_entry("/".join(filter(None, [PRODUCT, folder.rel])) + "/",
                      date_time, stat.S_IFDIR | 0o755)
    entry.external_attr |= 0x10  # The MS-DOS directory attribute.
    archive.writestr(entry, b"")
    for rel in folder.files:
        with open(os.path.join(bundle, rel), "rb") as f:
            data = f.read()
        archive.writestr(zip_entry(PRODUCT + "/" + rel, date_time,
                                   stat.S_IFREG | 0o644), data,
                         zipfile.ZIP_DEFLATED)
    for child in folder.folders:
        add_to_zip(archive, bundle, child, date_time)
