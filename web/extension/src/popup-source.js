// What the popup reads, started as soon as this module runs: popup.html loads it on its own,
// ahead of the popup's other modules, so the page is read while they load. Its text is the
// page's (the reading the click began, ?reading=TOKEN, asked by popup-early.js; else the active
// tab's, or ?tab=ID's) or a selection's (?selection=KEY).
"use strict";
import { SELECTION_PREFIX, checked } from "./messages.js";
import { readPage } from "./readings.js";

const READ_BOUND_MS = 10000;  // a page whose main thread never yields does not hold the popup
const params = new URLSearchParams(location.search);
const message = (name) => chrome.i18n.getMessage(name);

class Silent extends Error {}

function bounded(promise) {
  let timer;
  const late = new Promise((_, reject) => { timer = setTimeout(() => reject(new Silent()), READ_BOUND_MS); });
  return Promise.race([promise, late]).finally(() => clearTimeout(timer));
}

async function readSelection(key) {
  if (!key.startsWith(SELECTION_PREFIX)) return null;
  const stored = await chrome.storage.session.get(key);
  await chrome.storage.session.remove(key);
  return typeof stored[key] === "string" ? stored[key] : null;
}

// The reading the click began: {tabId, text (null where the page gave none)}; null where the
// background keeps none for this popup (taken, or dropped when its tab began loading). Where it
// has none, or its reading failed, the popup reads the page itself.
async function clickReading(asked) {
  try {
    return checked(await asked);
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
  let tabId = null;
  try {
    const asked = globalThis.veltrunEarly?.reading;
    const kept = asked ? await bounded(clickReading(asked)) : null;
    if (typeof kept?.text === "string") return { read: kept.text, fromPage: true, tabId: kept.tabId };
    tabId = kept?.tabId ?? (params.has("tab")
      ? Number(params.get("tab"))
      : (await chrome.tabs.query({ active: true, currentWindow: true }))[0]?.id);
    return { read: await bounded(readPage(tabId)), fromPage: true, tabId };
  } catch (error) {
    return { error: new Error(message(error instanceof Silent ? "pageSilent" : "cannotRead")), fromPage: true, tabId };
  }
}

// source: what readSource gives; stored: storage.local's whole answer; wasm: the core's
// compiled module (each a promise).
export const early = Object.freeze({
  source: readSource().catch((error) => ({ error, fromPage: !params.has("selection"), tabId: null })),
  stored: globalThis.veltrunEarly?.stored,
  wasm: globalThis.veltrunEarly?.wasm,
});
