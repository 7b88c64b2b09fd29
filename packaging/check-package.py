#!/usr/bin/env python3
"""Checks the release archives that cpack made from the given build trees.

Usage: packaging/check-package.py BUILD_DIR...

For each tree, reads the archive name from its CPackConfig.cmake, finds the archive in out/
and checks that it holds exactly the files a user needs, that no two names differ only in
letter case (Windows would overwrite one with the other on extraction), that the programs are
programs of the right kind, and that the version in the name is the one the readme and
`veltrun --version` show.
"""
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
}


def cpack_setting(build_dir, name):
    with open(os.path.join(build_dir, "CPackConfig.cmake"), encoding="utf-8") as f:
        match = re.search(r'set\(%s "([^"]*)"\)' % name, f.read())
    if not match:
        raise SystemExit("check-package: %s not set in %s" % (name, build_dir))
    return match.group(1)


def members(path, generator):
    """Maps each file's name below the top directory to (bytes, is executable)."""
    files = {}
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


def check(build_dir):
    name = cpack_setting(build_dir, "CPACK_PACKAGE_FILE_NAME")
    version = cpack_setting(build_dir, "CPACK_PACKAGE_VERSION")
    generator = cpack_setting(build_dir, "CPACK_GENERATOR")
    path = os.path.join(ROOT, "out", name + (".zip" if generator == "ZIP" else ".tar.gz"))
    top, files = members(path, generator)
    problems = []
    if top != name:
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
    print("check-package: %s: %s" % (os.path.relpath(path, ROOT), ", ".join(sorted(files))))


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    for build_dir in sys.argv[1:]:
        check(build_dir)


if __name__ == "__main__":
    main()
