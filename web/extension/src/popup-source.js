// What the popup reads, started as soon as this module runs: popup.html loads it on its own,
// ahead of the popup's other modules, so the page is read and the core fetched while they load.
// Its text is the page's (the reading the click began, ?reading=TOKEN; else the active tab's,
// or ?tab=ID's) or a selection's (?selection=KEY).
"use strict";
import { SELECTION_PREFIX, checked } from "./messages.js";
import { readPage } from "./readings.js";

const READ_BOUND_MS = 10000;  // a page whose main thread never yields does not hold the popup
const params = new URLSearchParams(location.search);
const message = (name) => chrome.i18n.getMessage(name);

function bounded(promise) {
  let timer;
  const late = new Promise((_, reject) => { timer = setTimeout(() => reject(new Error("the page did not answer")), READ_BOUND_MS); });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

async function readSelection(key) {
  if (!key.startsWith(SELECTION_PREFIX)) return null;
  const stored = await chrome.storage.session.get(key);
  await chrome.storage.session.remove(key);
  return typeof stored[key] === "string" ? stored[key] : null;
}

// The reading the click began, asked by popup-ask.js: {tabId, text (null where the page gave
// none)}; null where the background keeps none for this popup (taken, or dropped when its tab
// began loading).
async function clickReading() {
  try {
    return checked(await globalThis.veltrunAsked);
  } catch {
    return null;
  }
}

// {read (the text) or error, fromPage (not a selection), tabId (the page's; null for a selection)}.
async function readSource() {
  if (params.has("selection")) {
    const selection = await readSelection(params.get("selection"));
    if (selection === null) return { error: new Error(message("selectionGone")), fromPage: false, tabId: null };
    return { read: selection, fromPage: false, tabId: null };
  }
  const cannot = (tabId) => ({ error: new Error(message("cannotRead")), fromPage: true, tabId });
  let tabId = null;
  try {
    const kept = globalThis.veltrunAsked ? await bounded(clickReading()) : null;
    if (kept !== null) {
      tabId = kept.tabId;
      return typeof kept.text === "string" ? { read: kept.text, fromPage: true, tabId } : cannot(tabId);
    }
    tabId = params.has("tab")
      ? Number(params.get("tab"))
      : (await chrome.tabs.query({ active: true, currentWindow: true }))[0]?.id;
    return { read: await bounded(readPage(tabId)), fromPage: true, tabId };
  } catch {
    return cannot(tabId);
  }
}

export const early = Object.freeze({
  source: readSource().catch((error) => ({ error, fromPage: !params.has("selection"), tabId: null })),
  wasm: fetch(chrome.runtime.getURL("core/veltrun.wasm")),
});
