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

const POPUP = "popup.html";
// Chromium stops a worker after 30 s without events, and a click that has to start it again
// shows the popup later than the popup would have read the page itself. So clicks come here
// only this long after the worker starts or last saw a click; then the manifest's popup again.
const AWAKE_MS = 25000;

// The toolbar button (and its keyboard shortcut) while the background runs: reads the page and
// opens the popup on it. Otherwise the manifest's popup opens straight from the button and
// reads the page itself.
export function readAtClick(report) {
  const setPopup = (details) => chrome.action.setPopup(details).catch(report);
  const ownPopup = new Set();  // tabs whose popup was set for a click
  let asleep = null;
  const awake = () => {
    clearTimeout(asleep);
    setPopup({ popup: "" });
    asleep = setTimeout(() => {
      setPopup({ popup: POPUP });
      for (const tabId of ownPopup) chrome.action.setPopup({ tabId, popup: POPUP }).catch(() => {});  // closed since
      ownPopup.clear();
    }, AWAKE_MS);
  };
  chrome.tabs.onRemoved.addListener(dropTab);
  chrome.tabs.onUpdated.addListener((tabId, change) => {
    if (change.status === "loading" || change.url !== undefined) dropTab(tabId);
  });
  chrome.action.onClicked.addListener((tab) => {
    awake();
    if (!(tab?.id >= 0)) return;
    const token = startReading(tab.id);
    ownPopup.add(tab.id);
    chrome.action.setPopup({ tabId: tab.id, popup: `${POPUP}?reading=${token}` })
      .then(() => chrome.action.openPopup({ windowId: tab.windowId }))
      .catch((error) => {
        // Where the popup cannot open, the list opens in a tab, which reads the page itself.
        report(error);
        takeReading(token);
        return chrome.tabs.create({ url: chrome.runtime.getURL(`${POPUP}?tab=${tab.id}`), index: tab.index + 1, openerTabId: tab.id });
      })
      .finally(() => setPopup({ tabId: tab.id, popup: "" }));
  });
  // After the listeners: a click that came here before the browser knew of one would go nowhere.
  awake();
}
