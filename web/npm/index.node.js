// The package in Node.js: the core's module read from the file beside this one when imported.
import { readFile } from "node:fs/promises";
import { loadCore } from "./veltrun-core.js";
import { api } from "./api.js";

export const { version, schemes, unwrap, find, wrap } =
  api(await loadCore(readFile(new URL("./veltrun.wasm", import.meta.url))));
