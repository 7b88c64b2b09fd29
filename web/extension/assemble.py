#!/usr/bin/env python3
"""Assembles the extension for each browser from the one source tree, and packs it.

  assemble.py build SRC --core FILE --ui DIR --wasm FILE --version V --out DIR
      writes DIR/chromium and DIR/firefox: the files of SRC (less what the other browser alone
      needs), the core's JS module and wasm under core/, the shared UI's files under ui/, and
      each browser's manifest. The sources import the core and the UI where they are in the
      source tree ("../../core/", "../../ui/"); those imports are pointed at core/ and ui/.
  assemble.py pack DIR --version V --out OUT
      writes OUT/Veltrun-V-chromium.zip and OUT/veltrun-V.xpi (unsigned)
"""

import argparse
import json
import os
import re
import shutil
import sys
import zipfile

GECKO_ID = "veltrun@veltrun.invalid"

# Where the browsers differ, and only there: Chromium runs the background as a service worker
# and copies through an offscreen document; Firefox runs it as a background page (which has a
# document to copy with) and wants its own id and data-collection statement.
BROWSERS = {
    "chromium": {
        "only": ["chromium-background.js", "offscreen.html", "offscreen.js"],
        "manifest": {
            "background": {"service_worker": "chromium-background.js"},
            "minimum_chrome_version": "116",
            "permissions": ["offscreen"],
        },
    },
    "firefox": {
        "manifest": {
            "background": {"scripts": ["background.js"]},
            "browser_specific_settings": {
                "gecko": {
                    "id": GECKO_ID,
                    "strict_min_version": "140.0",
                    "data_collection_permissions": {"required": ["none"]},
                },
                "gecko_android": {"strict_min_version": "142.0"},
            },
        },
    },
}


def merge(base, extra):
    """`base` with `extra` added: dicts merged, lists appended, other values replaced."""
    merged = dict(base)
    for key, value in extra.items():
        if isinstance(value, dict) and isinstance(base.get(key), dict):
            merged[key] = merge(base[key], value)
        elif isinstance(value, list) and isinstance(base.get(key), list):
            merged[key] = base[key] + value
        else:
            merged[key] = value
    return merged


# An import of the core or the shared UI as the source tree has it.
OUTSIDE = re.compile(r'(from\s+"|import\s+")\.\./\.\./(core|ui)/')


def build(args):
    with open(os.path.join(args.src, "manifest.json"), encoding="utf-8") as f:
        manifest = json.load(f)
    manifest["version"] = args.version
    for browser, differences in BROWSERS.items():
        out = os.path.join(args.out, browser)
        shutil.rmtree(out, ignore_errors=True)
        others = [name for b, d in BROWSERS.items() if b != browser for name in d.get("only", [])]
        shutil.copytree(args.src, out, ignore=shutil.ignore_patterns("manifest.json", *others))
        os.makedirs(os.path.join(out, "core"))
        for path in (args.core, args.wasm):
            shutil.copy(path, os.path.join(out, "core"))
        shutil.copytree(args.ui, os.path.join(out, "ui"), ignore=shutil.ignore_patterns("package.json"))
        for name in os.listdir(out):
            if name.endswith(".js"):
                with open(os.path.join(out, name), encoding="utf-8") as f:
                    source = f.read()
                with open(os.path.join(out, name), "w", encoding="utf-8") as f:
                    f.write(OUTSIDE.sub(r"\1./\2/", source))
        with open(os.path.join(out, "manifest.json"), "w", encoding="utf-8") as f:
            json.dump(merge(manifest, differences["manifest"]), f, ensure_ascii=False, indent=2)
            f.write("\n")


def pack_dir(folder, archive):
    """Zips `folder` with its manifest at the top, in a fixed order and with fixed times, so
    the same tree always gives the same bytes."""
    names = []
    for root, _, files in os.walk(folder):
        names += [os.path.relpath(os.path.join(root, name), folder) for name in files]
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        for name in sorted(names):
            info = zipfile.ZipInfo(name.replace(os.sep, "/"), date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(os.path.join(folder, name), "rb") as f:
                z.writestr(info, f.read())


def pack(args):
    os.makedirs(args.out, exist_ok=True)
    pack_dir(os.path.join(args.dir, "chromium"),
             os.path.join(args.out, f"Veltrun-{args.version}-chromium.zip"))
    pack_dir(os.path.join(args.dir, "firefox"), os.path.join(args.out, f"veltrun-{args.version}.xpi"))


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="command", required=True)
    b = commands.add_parser("build")
    b.add_argument("src")
    b.add_argument("--core", required=True)
    b.add_argument("--ui", required=True)
    b.add_argument("--wasm", required=True)
    b.add_argument("--version", required=True)
    b.add_argument("--out", required=True)
    p = commands.add_parser("pack")
    p.add_argument("dir")
    p.add_argument("--version", required=True)
    p.add_argument("--out", required=True)
    args = parser.parse_args()
    (build if args.command == "build" else pack)(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
