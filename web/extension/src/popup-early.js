// What the popup starts before any of its modules run (they start tens of milliseconds later):
// the question for the reading its click began (?reading=TOKEN), the read of storage.local
// (the settings and the aria2 address, a few hundred bytes) and the core's compilation. A
// classic script at the top of popup.html, so it names the message type itself; popup-source.js
// takes what it started.
"use strict";
{
  const token = new URLSearchParams(location.search).get("reading");
  const started = (promise) => {
    promise.catch(() => {});  // whoever takes it sees the failure
    return promise;
  };
  globalThis.veltrunEarly = Object.freeze({
    reading: token === null ? null : started(chrome.runtime.sendMessage({ type: "veltrun-reading", token })),
    stored: started(chrome.storage.local.get(null)),
    wasm: started(WebAssembly.compileStreaming(fetch(chrome.runtime.getURL("core/veltrun.wasm")))),
  });
}
