#!/usr/bin/env python3
"""Checks every front end's record against the core's one list of fields.

The list comes from the core twice, through the wasm module's vt_info (every field, with its
scope) and through the Python module (the fields every front end has); the two must agree, and
then: `veltrun --json` writes those fields in that order, the Python package's Record and its
stubs declare them, the JS module's records hold every field of the list in its order (decoded,
refused and too long), the npm package's records and index.d.ts's LinkRecord the shared ones.
"""
import argparse
import dataclasses
import json
import re
import subprocess
import sys
from pathlib import Path

import veltrun
from veltrun import _core

NODE_SCRIPT = r"""
import { readFileSync } from "node:fs";
import { loadCore } from "%(core)s";
import { api } from "%(api)s";
const core = await loadCore(readFileSync(process.argv[1]));
const npm = api(core);
const long = "qqdl://" + "QUFB".repeat(core.maxLinkBytes / 4);
const records = {
  decoded: core.unwrap("qqdl://aHR0cDovL2EvYg=="),
  refused: core.unwrap("no link"),
  tooLong: core.find(long + " qqdl://eA==")[0],
};
console.log(JSON.stringify({
  fields: core.recordFields,
  keys: Object.fromEntries(Object.entries(records).map(([k, r]) => [k, Object.keys(r)])),
  tooLongOutcome: records.tooLong.outcome,
  npm: Object.keys(npm.unwrap("qqdl://aHR0cDovL2EvYg==")),
}));
"""


def interface_members(text, name):
    body = re.search(r"interface %s \{(.*?)\n\}" % name, text, re.S).group(1)
    return re.findall(r"^\s*readonly (\w+)\??:", body, re.M)


def main():
    parser = argparse.ArgumentParser()
    for option in ("--exe", "--wasm", "--node", "--source"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    source = Path(args.source)
    failures = []

    def check(what, got, expected):
        if list(got) != list(expected):
            failures.append("%s: %s, expected %s" % (what, list(got), list(expected)))

    script = NODE_SCRIPT % {"core": (source / "web/core/veltrun-core.js").as_uri(),
                            "api": (source / "web/npm/api.js").as_uri()}
    js = json.loads(subprocess.run([args.node, "--input-type=module", "-e", script, args.wasm],
                                   check=True, capture_output=True, text=True).stdout)
    every_field = [f["name"] for f in js["fields"]]
    shared = [f["name"] for f in js["fields"] if f["scope"] == "every"]
    check("the Python module's fields against the wasm module's", _core.record_fields, shared)

    line = subprocess.run([args.exe, "--json", "qqdl://aHR0cDovL2EvYg=="], check=True,
                          capture_output=True, text=True).stdout
    check("veltrun --json", json.loads(line), shared)

    check("the Python Record", [f.name for f in dataclasses.fields(veltrun.Record)], shared)
    stub = (Path(veltrun.__file__).parent / "_core.pyi").read_text(encoding="utf-8")
    if not re.search(r"^record_fields: Tuple\[str, \.\.\.\]$", stub, re.M):
        failures.append("_core.pyi declares no record_fields")

    for kind, keys in js["keys"].items():
        check("the JS module's %s record" % kind, keys, every_field)
    if js["tooLongOutcome"] != "TooLong":
        failures.append("a link too long gives outcome %r" % js["tooLongOutcome"])
    check("the npm package's record", js["npm"], shared)
    types = (source / "web/npm/index.d.ts").read_text(encoding="utf-8")
    check("index.d.ts's LinkRecord", interface_members(types, "LinkRecord"), shared)

    for failure in failures:
        print("FAIL " + failure)
    print("record fields: %d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
