#!/usr/bin/env python3
"""Makes the Python package's source archive and wheel.

Usage: packaging/python-package.py [--venv DIR] OUT_DIR WORK_DIR

Assembles in WORK_DIR the tree of python/ with the core's sources in its core/, from which
pip builds the wheel offline with the build tools of this Python (run it with Debian's, which
has pybind11), and setuptools the source archive that holds everything the wheel needs. With
--venv, the wheel is then installed into a fresh virtual environment DIR that also sees this
Python's packages (pytest, mypy), as a user installs it.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PYTHON_FILES = ("pyproject.toml", "setup.py", "MANIFEST.in", "README.md", "src", "veltrun")
# What setup.py compiles besides python/: the core and the project file that sets the version.
CORE_FILES = ("CMakeLists.txt", "linkdecode")


def copy(source, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    if os.path.isdir(source):
        shutil.copytree(source, target, ignore=shutil.ignore_patterns("__pycache__", "*.pyc"))
    else:
        shutil.copy2(source, target)


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--venv")
    parser.add_argument("out")
    parser.add_argument("work")
    args = parser.parse_args()
    out, work = os.path.abspath(args.out), os.path.abspath(args.work)
    tree = os.path.join(work, "veltrun")
    shutil.rmtree(tree, ignore_errors=True)
    for name in PYTHON_FILES:
        copy(os.path.join(ROOT, "python", name), os.path.join(tree, name))
    for name in CORE_FILES:
        copy(os.path.join(ROOT, name), os.path.join(tree, "core", name))
    copy(os.path.join(ROOT, "LICENSE"), os.path.join(tree, "LICENSE"))
    made = os.path.join(work, "dist")
    shutil.rmtree(made, ignore_errors=True)
    subprocess.run([sys.executable, "-m", "pip", "wheel", "-q", "--no-build-isolation",
                    "--no-deps", "--no-index", "-w", made, tree], check=True)
    subprocess.run([sys.executable, "setup.py", "-q", "sdist", "-d", made], cwd=tree,
                   check=True, stdout=subprocess.DEVNULL)
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(made):
        shutil.copy2(os.path.join(made, name), out)
        print("python-package: %s" % os.path.join(out, name))
    if args.venv:
        shutil.rmtree(args.venv, ignore_errors=True)
        subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", args.venv],
                       check=True)
        wheel, = glob.glob(os.path.join(made, "veltrun-*.whl"))
        subprocess.run([os.path.join(args.venv, "bin", "python"), "-m", "pip", "install", "-q",
                        "--no-index", "--no-deps", wheel], check=True)


if __name__ == "__main__":
    main()
