// What the popup reads, started as soon as this module runs: popup.html loads it on its own,
// ahead of the popup's other modules, so the page is read and the core fetched while they load.
// Its text is the page's (the active tab, or ?tab=ID) or a selection's (?selection=KEY).
"use strict";
import { SELECTION_PREFIX } from "./messages.js";

const params = new URLSearchParams(location.search);
const message = (name) => chrome.i18n.getMessage(name);

// One injection, one round trip to the page: the last file's value is the result.
async function readPage(tabId) {
  const results = await chrome.scripting.executeScript({ target: { tabId }, files: ["page-text.js", "page-read.js"] });
  const result = results?.[0]?.result;
  if (typeof result !== "string") throw new TypeError("the page gave no text");
  return result;
}

async function readSelection(key) {
  if (!key.startsWith(SELECTION_PREFIX)) return null;
  const stored = await chrome.storage.session.get(key);
  await chrome.storage.session.remove(key);
  return typeof stored[key] === "string" ? stored[key] : null;
}

// {read (the text) or error, fromPage (not a selection), tabId (the page's; null for a selection)}.
async function readSource() {
  if (params.has("selection")) {
    const selection = await readSelection(params.get("selection"));
    if (selection === null) return { error: new Error(message("selectionGone")), fromPage: false, tabId: null };
    return { read: selection, fromPage: false, tabId: null };
  }
  const tabId = params.has("tab")
    ? Number(params.get("tab"))
    : (await chrome.tabs.query({ active: true, currentWindow: true }))[0]?.id;
  try {
    return { read: await readPage(tabId), fromPage: true, tabId };
  } catch {
    return { error: new Error(message("cannotRead")), fromPage: true, tabId };
  }
}

export const early = Object.freeze({
  source: readSource().catch((error) => ({ error, fromPage: !params.has("selection"), tabId: null })),
  wasm: fetch(chrome.runtime.getURL("core/veltrun.wasm")),
});
