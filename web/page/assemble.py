#!/usr/bin/env python3
"""Writes the page into OUT_DIR: the HTML as it is, one style sheet (the rows' shared style, then
the page's own), and one classic script made of
page.js and the ES modules it imports, since Chromium loads neither an ES module nor a .wasm
for a file:// page. The core's module is embedded in it too, as the module "./embedded-wasm.js"
exporting WASM_BASE64.

Each module becomes a function of its own, so it keeps its scope and its own "use strict",
which every module must state first; its imports become constants taken from the modules it
names. Only the forms the sources use are read: `import { a, b as c } from "./x.js";` and `export`
before a function, class or const. Anything else is refused rather than bundled wrongly.

Usage: assemble.py MODULE.wasm WEB_DIR OUT_DIR
"""
import base64
import os
import re
import shutil
import sys

IMPORT = re.compile(r'^import\s*\{([^}]*)\}\s*from\s*"([^"]+)";[ \t]*$', re.M)
EXPORT = re.compile(r"^export\s+((?:async\s+)?function\*?|class|const|let)\s+([A-Za-z_$][\w$]*)", re.M)
STRICT = re.compile(r'\A(?:\s*//[^\n]*\n|\s*/\*.*?\*/)*\s*"use strict";', re.S)
EMBEDDED = "embedded-wasm.js"


class Bundle:
    def __init__(self, sources):
        self.sources = sources  # path -> text, for modules made here
        self.order = []  # paths, each after those it imports
        self.names = {}  # path -> the constant holding its exports

    def read(self, path):
        if path in self.sources:
            return self.sources[path]
        with open(path, encoding="utf-8") as f:
            return f.read()

    def add(self, path, importers=()):
        if path in self.names:
            return
        if path in importers:
            raise SystemExit("assemble: import cycle through " + path)
        source = self.read(path)
        if not STRICT.match(source):
            raise SystemExit("assemble: %s does not begin with \"use strict\"" % path)
        for _, name in IMPORT.findall(source):
            self.add(os.path.normpath(os.path.join(os.path.dirname(path), name)), (*importers, path))
        self.names[path] = "module%d" % len(self.names)
        self.order.append(path)

    def module(self, path):
        source = self.read(path)

        def imported(match):
            target = os.path.normpath(os.path.join(os.path.dirname(path), match.group(2)))
            names = []
            for item in (n.strip() for n in match.group(1).split(",") if n.strip()):
                name = re.fullmatch(r"([A-Za-z_$][\w$]*)(?:\s+as\s+([A-Za-z_$][\w$]*))?", item)
                if not name:
                    raise SystemExit("assemble: %s: cannot import %r" % (path, item))
                names.append(name.group(1) + (": " + name.group(2) if name.group(2) else ""))
            return "const { %s } = %s;" % (", ".join(names), self.names[target])

        body = IMPORT.sub(imported, source)
        exported = [m.group(2) for m in EXPORT.finditer(body)]
        body = EXPORT.sub(lambda m: m.group(1) + " " + m.group(2), body)
        left = re.search(r"^\s*(import|export)\b.*$", body, re.M)
        if left:
            raise SystemExit("assemble: %s: cannot bundle %r" % (path, left.group(0).strip()))
        return "const %s = (() => {\n%s\nreturn { %s };\n})();\n" % (
            self.names[path], body.rstrip("\n"), ", ".join(exported))

    def script(self, entry):
        self.add(entry)
        parts = [self.module(path) for path in self.order]
        return ("// The page's script, assembled from web/page/page.js and the ES modules it "
                "imports,\n// each in a function of its own.\n{\n%s}\n" % "".join(parts))


def main():
    wasm, web, out = sys.argv[1:4]
    page = os.path.join(web, "page")
    os.makedirs(out, exist_ok=True)
    shutil.copyfile(os.path.join(page, "index.html"), os.path.join(out, "index.html"))
    with open(os.path.join(out, "veltrun.css"), "w", encoding="utf-8") as f:
        for sheet in (os.path.join(web, "ui", "rows.css"), os.path.join(page, "veltrun.css")):
            with open(sheet, encoding="utf-8") as part:
                f.write(part.read())
    with open(wasm, "rb") as f:
        module = base64.b64encode(f.read()).decode("ascii")
    embedded = '"use strict";\nexport const WASM_BASE64 = "%s";\n' % module
    bundle = Bundle({os.path.normpath(os.path.join(page, EMBEDDED)): embedded})
    script = bundle.script(os.path.normpath(os.path.join(page, "page.js")))
    with open(os.path.join(out, "veltrun.js"), "w", encoding="utf-8") as f:
        f.write(script)


if __name__ == "__main__":
    main()
