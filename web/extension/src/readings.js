// Reading a tab's page as text, and (Chromium) the reading begun at the click on the toolbar
// button: Chromium takes longer to open the popup than the page takes to answer, so the
// background starts the reading and opens the popup, which takes the reading by the token in
// its address. A reading is shown at most once, only to the popup of its click, and never once
// its tab has started loading another document.
"use strict";

const KEEP_MS = 60000;  // a reading no popup took is dropped
const kept = new Map();  // token -> {tabId, reading: promise of the text}

// One injection, one round trip to the page: the last file's value is the result. The text
// comes only from that value, computed in the extension's isolated world.
export async function readPage(tabId) {
  const results = await chrome.scripting.executeScript({ target: { tabId }, files: ["page-text.js", "page-read.js"] });
  const result = results?.[0]?.result;
  if (typeof result !== "string") throw new TypeError("the page gave no text");
  return result;
}

function dropTab(tabId) {
  for (const [token, entry] of kept) if (entry.tabId === tabId) kept.delete(token);
}

// Starts reading tab `tabId`, kept under a new token, which it returns; an earlier reading of
// the same tab is dropped.
export function startReading(tabId) {
  dropTab(tabId);
  const token = crypto.randomUUID();
  // Right after the click the injection is at times refused, as if the page's process did not
  // yet know of the tab's grant (activeTab): it is tried once more, and where that fails too
  // the popup reads the page itself.
  const reading = readPage(tabId).catch(() => readPage(tabId));
  reading.catch(() => {});  // a failure is answered to the popup, or dropped with the reading
  kept.set(token, { tabId, reading });
  setTimeout(() => kept.delete(token), KEEP_MS);
  return token;
}

// The reading kept under `token`, taken: {tabId, reading}; null where there is none.
export function takeReading(token) {
  const entry = kept.get(token) ?? null;
  kept.delete(token);
  return entry;
}

// The toolbar button (and its keyboard shortcut) from now on: reads the page and opens the
// popup on it. Until the background has run once, the manifest's popup opens straight from the
// button and reads the page itself.
export function readAtClick(report) {
  chrome.action.setPopup({ popup: "" }).catch(report);
  chrome.tabs.onRemoved.addListener(dropTab);
  chrome.tabs.onUpdated.addListener((tabId, change) => {
    if (change.status === "loading" || change.url !== undefined) dropTab(tabId);
  });
  chrome.action.onClicked.addListener((tab) => {
    if (!(tab?.id >= 0)) return;
    const token = startReading(tab.id);
    const popup = { tabId: tab.id };
    chrome.action.setPopup({ ...popup, popup: "popup.html?reading=" + token })
      .then(() => chrome.action.openPopup({ windowId: tab.windowId }))
      .catch((error) => {
        // Where the popup cannot open, the list opens in a tab, which reads the page itself.
        report(error);
        takeReading(token);
        return chrome.tabs.create({ url: chrome.runtime.getURL("popup.html?tab=" + tab.id), index: tab.index + 1, openerTabId: tab.id });
      })
      .finally(() => chrome.action.setPopup({ ...popup, popup: "" }))
      .catch(report);
  });
}
