// The package in a browser or a bundle: the core's module fetched from beside this file (bundlers
// copy it as an asset, by the URL's pattern) when imported.
import { loadCore } from "./veltrun-core.js";
import { api } from "./api.js";

export const { version, schemes, unwrap, find, wrap } =
  api(await loadCore(fetch(new URL("./veltrun.wasm", import.meta.url))));
