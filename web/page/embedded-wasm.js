// The core's wasm in Base64, which web/page/assemble.py writes in its place when it bundles the
// page; this empty stand-in lets the import resolve in the source tree.
"use strict";
export const WASM_BASE64 = "";
