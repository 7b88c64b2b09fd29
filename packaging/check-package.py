#!/usr/bin/env python3
"""Checks the release packages that cpack made from the given build trees.

Usage: packaging/check-package.py [--out DIR] [--web WEB_BUILD_DIR] BUILD_DIR...

For each tree, reads the package names from its CPackConfig.cmake, finds the packages in out/
(or DIR) and checks that each holds exactly the files a user needs, that no two names differ
only in letter case (Windows would overwrite one with the other on extraction), that the
programs are programs of the right kind, and that the version in the name is the one the
readme and `veltrun --version` show. The .deb is also unpacked into a scratch root, where its
veltrun runs and its man page renders, and lintian must find no error or warning in it; the
veltrun-dev .deb beside it must hold the core's headers, its static library and the CMake
package config, and pass lintian too. The installer beside the zip must hold the zip's files
and register the three URL protocols. With
--web, the page's zip must hold its three files and the licence, the page its strict
Content-Security-Policy.
"""
import argparse
import gzip
import io
import os
import re
import subprocess
import sys
import tarfile
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

EXPECTED = {
    "ZIP": {"Veltrun.exe": b"MZ", "cli/veltrun.exe": b"MZ", "README.txt": None,
            "LICENSE.txt": None},
    "TGZ": {"veltrun": b"\x7fELF", "README.txt": None, "LICENSE": None},
    "DEB": {"usr/bin/veltrun": b"\x7fELF", "usr/share/man/man1/veltrun.1.gz": None,
            "usr/share/doc/veltrun/copyright": None, "usr/share/doc/veltrun/changelog.gz": None,
            "usr/share/bash-completion/completions/veltrun": None,
            "usr/share/zsh/vendor-completions/_veltrun": None,
            "usr/share/fish/vendor_completions.d/veltrun.fish": None,
            "usr/share/applications/veltrun.desktop": None},
}
DEB_FIELDS = {"Package": "veltrun", "Section": "utils", "Priority": "optional"}
DEV_FIELDS = {"Package": "veltrun-dev", "Section": "libdevel", "Priority": "optional"}


def dev_expected():
    """The -dev package's files: every header of the core, whichever units it has."""
    headers = {"usr/include/veltrun/linkdecode/" + h: None
               for h in os.listdir(os.path.join(ROOT, "linkdecode")) if h.endswith(".h")}
    return dict(headers, **{"usr/lib/liblinkdecode.a": b"!<arch>\n",
                            "usr/lib/cmake/Veltrun/VeltrunConfig.cmake": None,
                            "usr/lib/cmake/Veltrun/VeltrunConfigVersion.cmake": None,
                            "usr/share/doc/veltrun-dev/copyright": None,
                            "usr/share/doc/veltrun-dev/changelog.gz": None})


def cpack_setting(build_dir, name):
    with open(os.path.join(build_dir, "CPackConfig.cmake"), encoding="utf-8") as f:
        match = re.search(r'set\(%s "([^"]*)"\)' % name, f.read())
    if not match:
        raise SystemExit("check-package: %s not set in %s" % (name, build_dir))
    return match.group(1)


def run(args, text=True, **kw):
    return subprocess.run(args, capture_output=True, text=text, timeout=300, **kw)


def members(path, generator):
    """Maps each file's name below the top directory to (bytes, is executable)."""
    files = {}
    if generator == "DEB":
        listing = run(["dpkg-deb", "--fsys-tarfile", path], text=False).stdout
        with tarfile.open(fileobj=io.BytesIO(listing)) as t:
            for info in t.getmembers():
                if info.isfile():
                    name = info.name[2:] if info.name.startswith("./") else info.name
                    files[name] = (t.extractfile(info).read(), bool(info.mode & 0o111))
        return None, files
    if generator == "ZIP":
        with zipfile.ZipFile(path) as z:
            for info in z.infolist():
                if not info.is_dir():
                    files[info.filename] = (z.read(info), True)
    else:
        with tarfile.open(path) as t:
            for info in t.getmembers():
                if info.isfile():
                    files[info.name] = (t.extractfile(info).read(), bool(info.mode & 0o111))
    tops = {name.split("/", 1)[0] for name in files}
    if len(tops) != 1:
        raise SystemExit("check-package: %s has %d top directories" % (path, len(tops)))
    return tops.pop(), {name.split("/", 1)[1]: v for name, v in files.items()}


def package_path(build_dir, generator, out_dir):
    version = cpack_setting(build_dir, "CPACK_PACKAGE_VERSION")
    if generator == "DEB":
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        name = cpack_setting(build_dir, "CPACK_DEBIAN_PACKAGE_NAME")
        return os.path.join(out_dir, "%s_%s_%s.deb" % (name, version, arch))
    name = cpack_setting(build_dir, "CPACK_PACKAGE_FILE_NAME")
    return os.path.join(out_dir, name + (".zip" if generator == "ZIP" else ".tar.gz"))


def control_fields(path):
    fields, key = {}, None
    for line in run(["dpkg-deb", "-f", path]).stdout.splitlines():
        if line.startswith(" ") and key:
            fields[key] += "\n" + line
        else:
            key, _, value = line.partition(": ")
            fields[key] = value
    return fields


def field_problems(path, wanted):
    fields = control_fields(path)
    problems = ["control field %s is %r, not %r" % (k, fields.get(k), v)
                for k, v in wanted.items() if fields.get(k) != v]
    if len(fields.get("Description", "").splitlines()) < 3:
        problems.append("Description %r has no long description" % fields.get("Description"))
    return fields, problems


def lintian_problems(path):
    """Infos are shown too; errors and warnings fail the package."""
    lint = run(["lintian", "--fail-on", "error,warning", "--display-info", path])
    for line in lint.stdout.splitlines():
        print("lintian: " + line)
    if lint.returncode != 0:
        return ["lintian: status %d %s" % (lint.returncode, lint.stderr.strip())]
    return []


def check_dev_deb(path, version):
    """The core for C++ programs, veltrun-dev: its files, fields and lintian."""
    if not os.path.exists(path):
        raise SystemExit("check-package: %s is missing" % path)
    _, files = members(path, "DEB")
    expected = dev_expected()
    problems = ["missing %s" % f for f in expected if f not in files]
    problems += ["unexpected %s" % f for f in files if f not in expected]
    problems += ["%s is no static library" % f for f, magic in expected.items()
                 if magic and f in files and not files[f][0].startswith(magic)]
    problems += field_problems(path, dict(DEV_FIELDS, Version=version))[1]
    problems += lintian_problems(path)
    if problems:
        raise SystemExit("check-package: %s:\n  %s" % (path, "\n  ".join(problems)))
    shown = os.path.relpath(path, ROOT) if path.startswith(ROOT + os.sep) else path
    print("check-package: %s: %d headers, %s" % (
        shown, sum(f.endswith(".h") for f in files),
        ", ".join(sorted(f for f in files if not f.endswith(".h")))))


def check_deb(build_dir, path, files, version):
    """What only a .deb has: its control fields, Debian's documents, and it installed."""
    fields, problems = field_problems(path, dict(DEB_FIELDS, Version=version))
    if "libc6" not in fields.get("Depends", ""):
        problems.append("Depends %r lacks libc6" % fields.get("Depends"))

    with tempfile.TemporaryDirectory() as tmp:
        changelog = os.path.join(tmp, "changelog")
        with open(changelog, "wb") as f:
            f.write(gzip.decompress(files["usr/share/doc/veltrun/changelog.gz"][0]))
        latest = run(["dpkg-parsechangelog", "-l", changelog, "-S", "Version"]).stdout.strip()
        if latest != version:
            problems.append("packaging/debian/changelog: the latest entry is %r; add one for %s"
                            % (latest, version))
        with open(os.path.join(ROOT, "LICENSE"), encoding="utf-8") as f:
            notice = [line.rstrip() for line in f if line.strip()][2:]
        copyright_text = files["usr/share/doc/veltrun/copyright"][0].decode("utf-8")
        problems += ["copyright lacks the licence line %r" % line for line in notice
                     if "\n " + line + "\n" not in copyright_text + "\n"]

        root = os.path.join(tmp, "root")
        run(["dpkg-deb", "-x", path, root])
        shown = run([os.path.join(root, "usr/bin/veltrun"), "--version"]).stdout
        if version not in shown:
            problems.append("installed veltrun --version shows %r" % shown)
        env = dict(os.environ, LC_ALL="C.UTF-8", MANWIDTH="80")
        page = run(["man", "--warnings", "-l",
                    os.path.join(root, "usr/share/man/man1/veltrun.1.gz")], env=env)
        if page.returncode != 0 or page.stderr or "Veltrun " + version not in page.stdout:
            problems.append("man -l: status %d, %r, page %r"
                            % (page.returncode, page.stderr, page.stdout[:200]))
        entry = run(["desktop-file-validate",
                     os.path.join(root, "usr/share/applications/veltrun.desktop")])
        if entry.returncode != 0 or entry.stdout.strip():
            problems.append("desktop-file-validate: %s" % entry.stdout.strip())

    return problems + lintian_problems(path)


def check(build_dir, generator, out_dir):
    version = cpack_setting(build_dir, "CPACK_PACKAGE_VERSION")
    path = package_path(build_dir, generator, out_dir)
    if not os.path.exists(path):
        raise SystemExit("check-package: %s is missing" % path)
    top, files = members(path, generator)
    problems = []
    name = cpack_setting(build_dir, "CPACK_PACKAGE_FILE_NAME")
    if generator != "DEB" and top != name:
        problems.append("top directory %s, not %s" % (top, name))
    folded = {}
    for f in files:
        folded.setdefault(f.lower(), []).append(f)
    problems += ["%s differ only in letter case" % " and ".join(v)
                 for v in folded.values() if len(v) > 1]
    expected = EXPECTED[generator]
    problems += ["missing %s" % f for f in expected if f not in files]
    problems += ["unexpected %s" % f for f in files if f not in expected]
    for f, magic in expected.items():
        if f not in files or magic is None:
            continue
        data, executable = files[f]
        if not data.startswith(magic):
            problems.append("%s is not a %s program" % (f, "Windows" if magic == b"MZ" else "Linux"))
        if not executable:
            problems.append("%s is not executable" % f)
    if problems:
        raise SystemExit("check-package: %s:\n  %s" % (path, "\n  ".join(problems)))
    if generator == "DEB":
        problems += check_deb(build_dir, path, files, version)
    else:
        readme = files.get("README.txt", (b"", False))[0].decode("utf-8", "replace")
        if "Veltrun " + version not in readme:
            problems.append("README.txt does not name version %s" % version)
    if generator == "ZIP":
        for f in ("README.txt", "LICENSE.txt"):
            if b"\r\n" not in files.get(f, (b"", False))[0]:
                problems.append("%s lacks Windows line breaks" % f)
        if not files.get("README.txt", (b"", False))[0].startswith(b"\xef\xbb\xbf"):
            problems.append("README.txt lacks the UTF-8 byte-order mark Notepad needs")
    if generator == "TGZ" and "veltrun" in files:
        with tempfile.TemporaryDirectory() as tmp:
            exe = os.path.join(tmp, "veltrun")
            with open(exe, "wb") as f:
                f.write(files["veltrun"][0])
            os.chmod(exe, 0o755)
            shown = subprocess.run([exe, "--version"], capture_output=True, text=True).stdout
            if version not in shown:
                problems.append("veltrun --version shows %r, not %s" % (shown.strip(), version))
    if problems:
        raise SystemExit("check-package: %s:\n  %s" % (path, "\n  ".join(problems)))
    shown = os.path.relpath(path, ROOT) if path.startswith(ROOT + os.sep) else path
    print("check-package: %s: %s" % (shown, ", ".join(sorted(files))))
    if generator == "ZIP":
        check_msi(path, files, version)
    if generator == "DEB":
        name = cpack_setting(build_dir, "CPACK_DEBIAN_PACKAGE_NAME")
        check_dev_deb(os.path.join(out_dir, os.path.basename(path).replace(
            name + "_", name + "-dev_", 1)), version)


def msi_table(path, table):
    """The rows of an installer's table as lists of columns, after the three header lines."""
    listing = run(["msiinfo", "export", path, table]).stdout
    return [line.split("\t") for line in listing.splitlines()[3:]]


def check_msi(zip_path, zip_files, version):
    """The installer beside the zip: the zip's files, byte for byte, below Program
    Files\\Veltrun, its version and publisher, and the three URL protocols."""
    path = zip_path[:-len(".zip")] + ".msi"
    if not os.path.exists(path):
        raise SystemExit("check-package: %s is missing" % path)
    problems = []
    properties = dict(row[:2] for row in msi_table(path, "Property") if len(row) >= 2)
    for name, wanted in (("ProductVersion", version), ("ProductName", "Veltrun"),
                         ("Manufacturer", "The Veltrun developers"), ("ALLUSERS", "1")):
        if properties.get(name) != wanted:
            problems.append("%s is %r, not %r" % (name, properties.get(name), wanted))
    with tempfile.TemporaryDirectory() as tmp:
        run(["msiextract", "-C", tmp, path])
        found = {}
        for top, _, names in os.walk(os.path.join(tmp, "Veltrun")):
            for n in names:
                with open(os.path.join(top, n), "rb") as f:
                    found[os.path.relpath(os.path.join(top, n),
                                          os.path.join(tmp, "Veltrun"))] = f.read()
    differing = sorted(set(found) ^ set(zip_files))
    # Each strip stamps the time into a program's header, so programs are compared by kind and
    # size, the documents byte for byte.
    for f, data in found.items():
        theirs = zip_files.get(f, (None, False))[0]
        if theirs is None:
            continue
        if f.endswith(".exe"):
            if not data.startswith(b"MZ") or len(data) != len(theirs):
                differing.append(f)
        elif data != theirs:
            differing.append(f)
    if differing:
        problems.append("files unlike the zip's: %s" % ", ".join(differing))
    commands = {row[2] for row in msi_table(path, "Registry")
                if len(row) > 4 and row[4] == '"[INSTALLDIR]Veltrun.exe" "%1"'}
    wanted = {"Software\\Classes\\%s\\shell\\open\\command" % s
              for s in ("thunder", "flashget", "qqdl")}
    if commands != wanted:
        problems.append("URL protocols %s" % sorted(commands))
    if problems:
        raise SystemExit("check-package: %s:\n  %s" % (path, "\n  ".join(problems)))
    print("check-package: %s: %s" % (os.path.relpath(path, ROOT), ", ".join(sorted(found))))


WEB_FILES = ("index.html", "veltrun.css", "veltrun.js", "LICENSE")


def check_web(build_dir, out_dir):
    with open(os.path.join(build_dir, "CMakeCache.txt")) as cache:
        version = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.*)$", cache.read(), re.M).group(1)
    path = os.path.join(out_dir, "Veltrun-%s-web.zip" % version)
    if not os.path.exists(path):
        raise SystemExit("check-package: %s is missing" % path)
    top, files = members(path, "ZIP")
    problems = ["top directory %s" % top] if top != "Veltrun-%s-web" % version else []
    problems += ["missing %s" % f for f in WEB_FILES if f not in files]
    problems += ["unexpected %s" % f for f in files if f not in WEB_FILES]
    page = files.get("index.html", (b"", False))[0].decode("utf-8", "replace")
    if "Content-Security-Policy" not in page or "default-src 'none'" not in page:
        problems.append("index.html lacks its Content-Security-Policy")
    if problems:
        raise SystemExit("check-package: %s:\n  %s" % (path, "\n  ".join(problems)))
    print("check-package: %s: %s" % (os.path.relpath(path, ROOT), ", ".join(sorted(files))))


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--out", default=os.path.join(ROOT, "out"))
    parser.add_argument("--web", metavar="WEB_BUILD_DIR", help="also check the page's zip")
    parser.add_argument("build_dirs", nargs="*", metavar="BUILD_DIR")
    args = parser.parse_args()
    if args.web:
        check_web(args.web, args.out)
    for build_dir in args.build_dirs:
        for generator in cpack_setting(build_dir, "CPACK_GENERATOR").split(";"):
            check(build_dir, generator, args.out)


if __name__ == "__main__":
    main()
