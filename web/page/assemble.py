#!/usr/bin/env python3
"""Writes the page into OUT_DIR: the HTML and CSS as they are, and the script with the
WebAssembly module embedded in it (Base64, decoded by the browser's atob).

Usage: assemble.py MODULE.wasm SOURCE_DIR OUT_DIR
"""
import base64
import os
import shutil
import sys

wasm, source, out = sys.argv[1:4]
os.makedirs(out, exist_ok=True)
for name in ("index.html", "veltrun.css"):
    shutil.copyfile(os.path.join(source, name), os.path.join(out, name))
with open(wasm, "rb") as f:
    module = base64.b64encode(f.read()).decode("ascii")
with open(os.path.join(source, "veltrun.js"), encoding="utf-8") as f:
    script = f.read()
with open(os.path.join(out, "veltrun.js"), "w", encoding="utf-8") as f:
    f.write('"use strict";\nconst VELTRUN_WASM = "%s";\n%s' % (module, script))
