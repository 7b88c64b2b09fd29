#!/usr/bin/env python3
"""Installs the npm package's tarball into a fresh scratch project with `npm install`, offline
(it has no dependencies), and runs veltrun.test.mjs there with node --test, so that the tests
import "veltrun" as a user's program does.

Usage: run_npm_tests.py TARBALL VELTRUN_CLI
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    tarball, cli = (os.path.abspath(a) for a in sys.argv[1:3])
    scratch = tempfile.mkdtemp(prefix="veltrun-npm-")
    try:
        with open(os.path.join(scratch, "package.json"), "w") as f:
            f.write('{"private": true, "type": "module"}\n')
        subprocess.run(["npm", "install", "--offline", "--no-audit", "--no-fund", "--silent",
                        tarball], cwd=scratch, check=True, timeout=300)
        shutil.copy(os.path.join(HERE, "veltrun.test.mjs"), scratch)
        return subprocess.run(["node", "--test", "veltrun.test.mjs"], cwd=scratch, timeout=300,
                              env=dict(os.environ, VELTRUN_CLI=cli)).returncode
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
