#!/usr/bin/env python3
"""Builds the Windows installer from packaging/windows/Veltrun.wxs with wixl, then adds with
msibuild what wixl cannot express.

Usage: build-msi.py --version V --dialog Veltrun.exe --cli veltrun.exe --readme README.txt
                    --license LICENSE.txt --icon Veltrun.ico [--strip STRIP] --output OUT.msi

A scheme another program already opens (HKEY_CLASSES_ROOT\\SCHEME\\shell\\open\\command holds a
command that is not Veltrun.exe's) is left to that program unless the installer is run with
HANDLERS=all. Our own earlier registration counts as free, so an upgrade keeps it.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

WXS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "Veltrun.wxs")
SCHEMES = (("thunder", "ThunderScheme"), ("flashget", "FlashgetScheme"), ("qqdl", "QqdlScheme"))
# RegLocator: HKEY_CLASSES_ROOT is root 0; type 2 reads the value as it is, 16 in the 64-bit view.
HKCR, RAW_64BIT = 0, 2 | 16


def owner_property(scheme):
    return scheme.upper() + "_OWNER"


def queries():
    """The SQL that adds one search and one component condition for each scheme."""
    # The searches run before anything else looks at properties, as the standard sequences have
    # them.
    found = ["INSERT INTO `%s` (`Action`, `Sequence`) VALUES ('AppSearch', 50)" % table
             for table in ("InstallExecuteSequence", "InstallUISequence")]
    for scheme, component in SCHEMES:
        prop = owner_property(scheme)
        found.append("INSERT INTO `RegLocator` (`Signature_`, `Root`, `Key`, `Type`) "
                     "VALUES ('%sOwner', %d, '%s\\shell\\open\\command', %d)"
                     % (scheme, HKCR, scheme, RAW_64BIT))
        found.append("INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('%s', '%sOwner')"
                     % (prop, scheme))
        condition = 'HANDLERS~="all" OR NOT %s OR %s~><"\\Veltrun.exe"' % (prop, prop)
        found.append("UPDATE `Component` SET `Condition` = '%s' WHERE `Component` = '%s'"
                     % (condition, component))
    # Public properties reach the installing service only when they are listed as secure.
    secure = ";".join(["HANDLERS"] + [owner_property(s) for s, _ in SCHEMES] +
                      ["WIX_DOWNGRADE_DETECTED", "WIX_UPGRADE_DETECTED"])
    found.append("UPDATE `Property` SET `Value` = '%s' WHERE `Property` = 'SecureCustomProperties'"
                 % secure)
    return found


def run(args, cwd=None):
    proc = subprocess.run(args, capture_output=True, text=True, cwd=cwd)
    if proc.returncode != 0:
        sys.exit("build-msi: %s failed (status %d):\n%s%s"
                 % (args[0], proc.returncode, proc.stdout, proc.stderr))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    for name in ("version", "dialog", "cli", "readme", "license", "icon", "output"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--strip", help="the strip program for the target's executables")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="veltrun-msi-") as stage:
        os.mkdir(os.path.join(stage, "cli"))
        for source, name in ((args.dialog, "Veltrun.exe"), (args.cli, "cli/veltrun.exe"),
                             (args.readme, "README.txt"), (args.license, "LICENSE.txt"),
                             (args.icon, "Veltrun.ico")):
            shutil.copyfile(source, os.path.join(stage, name))
        if args.strip:
            run([args.strip, os.path.join(stage, "cli", "veltrun.exe")])
        shutil.copyfile(WXS, os.path.join(stage, "Veltrun.wxs"))
        # wixl takes the files' names relative to the folder it runs in.
        run(["wixl", "-a", "x64", "-D", "Version=" + args.version, "-o", "Veltrun.msi",
             "Veltrun.wxs"], cwd=stage)
        partial = os.path.join(stage, "Veltrun.msi")
        for query in queries():
            run(["msibuild", partial, "-q", query])
        shutil.move(partial, args.output)

if __name__ == "__main__":
    main()
