"""The per-user Windows Installer package of a bundle folder. Its WiX
source is generated from the folder itself, so that a UI bundle with
thousands of files under data/flutter_assets packages the same way as the
stand-in's three; wixl compiles it, and msibuild then adds what wixl cannot
express. A bundle holding a file with a stand-in's marker makes a product of
its own, whatever the build was told."""

import os
import shutil
import subprocess
import tempfile
import uuid
import xml.etree.ElementTree as ET

from bundle_folder import BundleError, find_stand_ins, read_bundle
from product_identity import (DESCRIPTION, EXECUTABLE, PRODUCT, identity,
                              product_version)

# Both kinds install into the same folder, so neither installs while the
# other is there: each finds the other (FindRelatedProducts, before the
# launch conditions) by its upgrade code into this property, found only (0x2)
# from version 0 on (0x100).
OTHER_KIND_PROPERTY = "LQ_OTHER_KIND_INSTALLED"
OTHER_KIND_ATTRIBUTES = 0x102
# Component GUIDs derive from this and the item's place in the bundle, so a
# file keeps its component across builds and versions: repairs and upgrades
# then find what an earlier package installed.
COMPONENT_NAMESPACE = uuid.UUID("16ec7565-52da-430a-9d76-50ee5df237e3")
# A per-user package keys each component by a value in the user's own hive.
KEY_PATH_KEY = "Software\\Lanternquill\\Components"
RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run"
DOWNGRADE_MESSAGE = ("A newer version of Lanternquill is already installed. "
                     "To install this older version, uninstall Lanternquill "
                     "first.")
# wixl refuses component conditions. The uninstall clause is needed because
# the condition is evaluated at uninstall too: without it the Run value of an
# AUTOSTART=1 install would stay behind.
AUTOSTART_CONDITION = 'AUTOSTART=1 OR REMOVE="ALL"'
# The AUTOSTART choice of each install, kept in the user's hive so that an
# upgrade run without AUTOSTART keeps what the administrator chose. It is read
# back by AppSearch into REMEMBERED_PROPERTY.
AUTOSTART_KEY = "Software\\Lanternquill"
AUTOSTART_VALUE = "Autostart"
REMEMBERED_PROPERTY = "LQ_REMEMBERED_AUTOSTART"
CHOICE_PROPERTY = "LQ_AUTOSTART_CHOICE"
CHANGE_MESSAGE = ("This package of Lanternquill is already installed, with "
                  "another AUTOSTART choice. To change it, uninstall "
                  "Lanternquill and install it again with AUTOSTART=1 or "
                  "AUTOSTART=0.")
# Custom actions run in both sequences, in this order, right after the
# launch conditions (100): refuse a change the maintenance run would ignore,
# then fill in the remembered choice, then set the value to remember.
AUTOSTART_ACTIONS = [
    ("RefuseAutostartChange", 19, "", CHANGE_MESSAGE,
     "Installed AND NOT REMOVE AND AUTOSTART AND AUTOSTART <> %s" %
     REMEMBERED_PROPERTY, 101),
    ("RestoreAutostart", 51, "AUTOSTART", "[%s]" % REMEMBERED_PROPERTY,
     "NOT AUTOSTART", 102),
    ("RememberAutostart", 51, CHOICE_PROPERTY, "1", "AUTOSTART=1", 103),
]
# Why an install is refused, checked before anything is installed. The
# package installs into one user's profile and registers for that user:
# installed for all users, every other user would get a shortcut into a
# profile they cannot read; installed as the SYSTEM account (or another
# service account), as deployment tools do by default, it would go into that
# account's profile and nobody would see it. Uninstalling what such an
# install left stays possible.
LAUNCH_CONDITIONS = [
    ("VersionNT64", "Lanternquill needs a 64-bit edition of Windows."),
    ("NOT ALLUSERS",
     "Lanternquill installs for one user only, not for all users of this "
     "computer. Install it without ALLUSERS, as the user who will use it."),
    ('Installed OR (UserSID <> "S-1-5-18" AND UserSID <> "S-1-5-19" AND '
     'UserSID <> "S-1-5-20")',
     "Lanternquill installs for one user only and cannot be installed as the "
     "SYSTEM account or another service account. Install it as the user "
     "who will use it (with a deployment tool, in the user's context)."),
    ('NOT AUTOSTART OR AUTOSTART = "0" OR AUTOSTART = "1"',
     "AUTOSTART must be 1 (start Lanternquill at sign-in) or 0 (do not)."),
    # The Run value starts the installed executable at every sign-in: in a
    # folder that other users may write to (one under C:\ inherits that
    # right), any of them could replace it. The profile's folders are the
    # user's alone; ".." could climb out of them.
    ('Installed OR NOT INSTALLDIR OR (INSTALLDIR ~<< LocalAppDataFolder AND '
     'NOT INSTALLDIR >< "..")',
     "Lanternquill installs into your own profile, under "
     "%LOCALAPPDATA%, where no other user can change it. Install it "
     "without INSTALLDIR, or with a folder under %LOCALAPPDATA%."),
    ("Installed OR NOT " + OTHER_KIND_PROPERTY,
     "Another build of Lanternquill is installed in the folder this package "
     "installs into: a release beside a stand-in not for release, or the "
     "other way round. Uninstall it first."),
]
# Migrate feature states (0x1) and include the maximum (0x200): wixl's upgrade
# row excludes the package's own version, so a rebuild of the same version
# (a new product code) would register a second product beside the first.
UPGRADE_ATTRIBUTES = 0x201
# A silent install runs only the second; a full-UI install runs both.
SEQUENCES = ("InstallUISequence", "InstallExecuteSequence")


def check_installer_names(folder):
    """Windows Installer reads the names in its database in the installing
    system's ANSI code page: outside ASCII a name would install under
    another name, or not at all, on some systems."""
    for rel in [folder.rel] + folder.files:
        if not rel.isascii():
            raise BundleError("%r is not an ASCII name, which the installer "
                              "cannot carry to every Windows system" % rel)
    for child in folder.folders:
        check_installer_names(child)


def item_uuid(kind, rel):
    return uuid.uuid5(COMPONENT_NAMESPACE, kind + ":" + rel)


def identifier(prefix, kind, rel):
    return prefix + item_uuid(kind, rel).hex


def component(parent, key, feature):
    """A component with a stable GUID, keyed by a value in HKCU."""
    guid = item_uuid("component", key)
    ident = "c" + guid.hex
    element = ET.SubElement(parent, "Component", Id=ident, Guid=str(guid),
                            Win64="yes")
    ET.SubElement(element, "RegistryValue", Root="HKCU", Key=KEY_PATH_KEY,
                  Name=ident, Type="integer", Value="1", KeyPath="yes")
    ET.SubElement(feature, "ComponentRef", Id=ident)
    return element


def add_folder(parent, folder, bundle, base, feature):
    """Every file in a component of its own; every folder made and, once
    empty, removed by a component of its own."""
    own = component(parent, "folder:" + folder.rel, feature)
    ET.SubElement(own, "CreateFolder")
    ET.SubElement(own, "RemoveFolder",
                  Id=identifier("r", "folder", folder.rel), On="uninstall")
    for rel in folder.files:
        holder = component(parent, "file:" + rel, feature)
        ET.SubElement(holder, "File", Id=identifier("f", "file", rel),
                      Name=os.path.basename(rel),
                      Source=os.path.relpath(os.path.join(bundle, rel), base))
    for child in folder.folders:
        element = ET.SubElement(parent, "Directory",
                                Id=identifier("d", "folder", child.rel),
                                Name=os.path.basename(child.rel))
        add_folder(element, child, bundle, base, feature)


def wix_source(folder, info, bundle, icon, base, stand_in=False):
    """The WiX document of the package for the bundle folder read above."""
    name, upgrade_code, _ = identity(stand_in)
    wix = ET.Element("Wix", xmlns="http://schemas.microsoft.com/wix/2006/wi")
    product = ET.SubElement(
        wix, "Product", Id="*", Name=name, Language="1033",
        Version=product_version(info), Manufacturer=PRODUCT,
        UpgradeCode=upgrade_code)
    ET.SubElement(product, "Package", InstallerVersion="500",
                  Compressed="yes", InstallScope="perUser",
                  Description="%s %s" % (name, info["version_text"]),
                  Manufacturer=PRODUCT)
    ET.SubElement(product, "Media", Id="1", Cabinet="lanternquill.cab",
                  EmbedCab="yes")
    ET.SubElement(product, "MajorUpgrade",
                  DowngradeErrorMessage=DOWNGRADE_MESSAGE)
    ET.SubElement(product, "Icon", Id="lanternquill.ico",
                  SourceFile=os.path.relpath(icon, base))
    ET.SubElement(product, "Property", Id="ARPPRODUCTICON",
                  Value="lanternquill.ico")
    for condition, message in LAUNCH_CONDITIONS:
        ET.SubElement(product, "Condition", Message=message).text = condition
    remembered = ET.SubElement(product, "Property", Id=REMEMBERED_PROPERTY)
    ET.SubElement(remembered, "RegistrySearch", Id="RememberedAutostart",
                  Root="HKCU", Key=AUTOSTART_KEY, Name=AUTOSTART_VALUE,
                  Type="raw")
    ET.SubElement(product, "Property", Id=CHOICE_PROPERTY, Value="0")

    feature = ET.Element("Feature", Id="Lanternquill", Title=PRODUCT,
                         Level="1")
    target = ET.SubElement(product, "Directory", Id="TARGETDIR",
                           Name="SourceDir")
    local = ET.SubElement(target, "Directory", Id="LocalAppDataFolder")
    programs = ET.SubElement(local, "Directory", Id="LocalProgramsFolder",
                             Name="Programs")
    install = ET.SubElement(programs, "Directory", Id="INSTALLDIR",
                            Name=PRODUCT)
    add_folder(install, folder, bundle, base, feature)
    # Removed on uninstall only when no other program has put files in it.
    # Made by the package as well: under Wine a bare RemoveFolder ran while
    # the install folder was still there and left Programs behind.
    own = component(programs, "programs-folder", feature)
    ET.SubElement(own, "CreateFolder")
    ET.SubElement(own, "RemoveFolder", Id="RemoveLocalProgramsFolder",
                  On="uninstall")

    autostart = ET.SubElement(install, "Component", Id="Autostart",
                              Guid=str(item_uuid("component", "autostart")),
                              Win64="yes")
    ET.SubElement(autostart, "RegistryValue", Root="HKCU", Key=RUN_KEY,
                  Name=PRODUCT, Type="string",
                  Value='"[INSTALLDIR]%s"' % EXECUTABLE, KeyPath="yes")
    ET.SubElement(feature, "ComponentRef", Id="Autostart")
    choice = ET.SubElement(install, "Component", Id="AutostartChoice",
                           Guid=str(item_uuid("component",
                                              "autostart-choice")),
                           Win64="yes")
    ET.SubElement(choice, "RegistryValue", Root="HKCU", Key=AUTOSTART_KEY,
                  Name=AUTOSTART_VALUE, Type="string",
                  Value="[%s]" % CHOICE_PROPERTY, KeyPath="yes")
    ET.SubElement(feature, "ComponentRef", Id="AutostartChoice")

    menu = ET.SubElement(target, "Directory", Id="ProgramMenuFolder")
    # Not advertised, and with no icon of its own: it shows the exe's.
    ET.SubElement(component(menu, "start-menu-shortcut", feature),
                  "Shortcut", Id="StartMenuShortcut", Name=PRODUCT,
                  Description=DESCRIPTION,
                  Target="[INSTALLDIR]%s" % EXECUTABLE,
                  WorkingDirectory="INSTALLDIR")
    product.append(feature)
    ET.indent(wix)
    return ET.tostring(wix, encoding="unicode", xml_declaration=True) + "\n"


def msi_table(msi, table):
    out = subprocess.run(["msiinfo", "export", msi, table], check=True,
                         capture_output=True, text=True).stdout
    # Column names, column types and the table's key come first.
    return [line.split("\t") for line in out.splitlines()[3:]]


def msi_properties(msi):
    return {row[0]: row[1] for row in msi_table(msi, "Property")}


def quote(text):
    return "'%s'" % text.replace("'", "''")


def set_what_wixl_cannot(msi, version, stand_in):
    _, upgrade_code, other_code = identity(stand_in)
    queries = [
        "UPDATE `Component` SET `Condition` = %s WHERE `Component` = "
        "'Autostart'" % quote(AUTOSTART_CONDITION),
        # The attributes are part of the row's key, so the row is replaced.
        "DELETE FROM `Upgrade` WHERE `ActionProperty` = "
        "'WIX_UPGRADE_DETECTED'",
        "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, "
        "`ActionProperty`) VALUES ('%s', '%s', %d, 'WIX_UPGRADE_DETECTED')" %
        (upgrade_code, version, UPGRADE_ATTRIBUTES),
        "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `Attributes`, "
        "`ActionProperty`) VALUES ('%s', '0.0.0', %d, '%s')" %
        (other_code, OTHER_KIND_ATTRIBUTES, OTHER_KIND_PROPERTY),
    ]
    # A found product's property must be secure to reach the installation.
    secure = (msi_properties(msi)["SecureCustomProperties"] + ";" +
              OTHER_KIND_PROPERTY)
    queries.append("UPDATE `Property` SET `Value` = %s WHERE `Property` = "
                   "'SecureCustomProperties'" % quote(secure))
    for action, kind, source, target, condition, sequence in \
            AUTOSTART_ACTIONS:
        queries.append(
            "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, "
            "`Target`) VALUES (%s, %d, %s, %s)" %
            (quote(action), kind, quote(source), quote(target)))
        for table in SEQUENCES:
            queries.append(
                "INSERT INTO `%s` (`Action`, `Condition`, `Sequence`) "
                "VALUES (%s, %s, %d)" %
                (table, quote(action), quote(condition), sequence))
    for query in queries:
        subprocess.run(["msibuild", msi, "-q", query], check=True,
                       stdout=subprocess.DEVNULL)
    # msibuild has exited 0 after a query failed; read the result back.
    conditions = {row[0]: row[4] for row in msi_table(msi, "Component")}
    upgrades = {row[6]: row for row in msi_table(msi, "Upgrade")}
    expected = [upgrade_code, "", version, "", str(UPGRADE_ATTRIBUTES), "",
                "WIX_UPGRADE_DETECTED"]
    other = [other_code, "0.0.0", "", "", str(OTHER_KIND_ATTRIBUTES), "",
             OTHER_KIND_PROPERTY]
    ours = [row[0] for row in AUTOSTART_ACTIONS]
    actions = sorted(row[:4] for row in msi_table(msi, "CustomAction")
                     if row[0] in ours)
    sequences = [sorted(row for row in msi_table(msi, table)
                        if row[0] in ours) for table in SEQUENCES]
    if conditions.get("Autostart") != AUTOSTART_CONDITION or \
            upgrades.get("WIX_UPGRADE_DETECTED") != expected or \
            upgrades.get(OTHER_KIND_PROPERTY) != other or \
            msi_properties(msi)["SecureCustomProperties"] != secure or \
            actions != sorted([a, str(k), s, t]
                              for a, k, s, t, _, _ in AUTOSTART_ACTIONS) or \
            sequences != [sorted([a, c, str(n)] for a, _, _, _, c, n in
                                 AUTOSTART_ACTIONS)] * len(SEQUENCES):
        raise BundleError("msibuild did not set the autostart condition, "
                          "the upgrade rows and the autostart actions of %s" %
                          msi)


def build_msi(bundle, info, icon, out):
    folder = read_bundle(bundle)
    if EXECUTABLE not in folder.files:
        raise BundleError("%s holds no %s" % (bundle, EXECUTABLE))
    check_installer_names(folder)
    version = product_version(info)
    # Read from the files themselves: whatever the build was told, a stand-in
    # never gets a release's name and upgrade code.
    stand_in = bool(find_stand_ins(bundle))
    out_dir = os.path.dirname(os.path.abspath(out))
    # Built beside the output and moved into place whole, so a failed run
    # never leaves a package under the final name.
    with tempfile.TemporaryDirectory(dir=out_dir, prefix=".msi-") as work:
        # wixl reads sources relative to the document's folder.
        shutil.copyfile(icon, os.path.join(work, "lanternquill.ico"))
        source = os.path.join(work, "lanternquill.wxs")
        with open(source, "w", encoding="utf-8") as f:
            f.write(wix_source(folder, info, os.path.abspath(bundle),
                               os.path.join(work, "lanternquill.ico"), work,
                               stand_in))
        msi = os.path.join(work, "package.msi")
        # An x64 package: Windows refuses it on a 32-bit system, and its
        # components are 64-bit ones (Win64), as the program is.
        subprocess.run(["wixl", "-a", "x64", "-o", msi, source], check=True)
        set_what_wixl_cannot(msi, version, stand_in)
        os.replace(msi, out)
