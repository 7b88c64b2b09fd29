// The core as every front end holds it: loaded on first use and kept, a failed load tried again
// at the next use, and a core that trapped (its memory no longer to be trusted) dropped, so that
// the next call gets a fresh instance rather than the error for good.
"use strict";
import { loadCore } from "../core/veltrun-core.js";

const trapped = (error) => error instanceof WebAssembly.RuntimeError || error?.cause instanceof WebAssembly.RuntimeError;

// `wasm()` gives what loadCore takes. get() resolves to the core; failed(error) is told of every
// error a call on it threw, and drops the core where the error was a trap.
export function keptCore(wasm) {
  let loading = null;
  return {
    get() {
      const promise = (loading ??= loadCore(wasm()));
      return promise.catch((error) => {
        if (loading === promise) loading = null;
        throw error;
      });
    },
    failed(error) {
      if (trapped(error)) loading = null;
    },
    // task(core)'s result, with failed() told of its error.
    async use(task) {
      const core = await this.get();
      try {
        return await task(core);
      } catch (error) {
        this.failed(error);
        throw error;
      }
    },
  };
}
