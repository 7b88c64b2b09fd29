"""Builds veltrun._core from the core's own sources, found beside this tree in the repository
or in core/ of an unpacked source archive (which packaging/python-package.py puts there)."""

import os
import re
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

HERE = Path(__file__).resolve().parent
IN_REPOSITORY = not (HERE / "core").is_dir()
CORE = HERE.parent if IN_REPOSITORY else HERE / "core"

# The core's library is every unit of linkdecode/, its GB18030 conversion the platform's (here
# iconv). setuptools wants the paths relative to this tree.
SOURCES = [os.path.relpath(p, HERE)
           for p in sorted((CORE / "linkdecode").glob("**/*.cpp")) + [
               HERE / "src" / "core_module.cpp"]]
VERSION = re.search(r"project\(Veltrun VERSION ([0-9.]+)",
                    (CORE / "CMakeLists.txt").read_text(encoding="utf-8")).group(1)

ParallelCompile("VELTRUN_BUILD_JOBS", default=2).install()
setup(
    version=VERSION,
    packages=["veltrun"],
    package_data={"veltrun": ["py.typed", "*.pyi"]},
    # Only these: the core's sources, listed in the manifest, are no data of the package.
    include_package_data=False,
    ext_modules=[Pybind11Extension(
        "veltrun._core", SOURCES, include_dirs=[str(CORE)], cxx_std=17,
        define_macros=[("VELTRUN_VERSION", '"%s"' % VERSION)],
        # The project's warnings are errors for its developers, not for a user's compiler.
        extra_compile_args=["-Wall", "-Wextra"] + (["-Werror"] if IN_REPOSITORY else []))],
)
