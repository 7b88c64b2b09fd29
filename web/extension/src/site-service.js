// The background's side of the chosen sites: it answers their content scripts, which send page
// text and get back what the core found in it, and it hands a marker's link to aria2. A message
// is answered only when it comes from this extension's content script in a frame of a chosen
// site, and only in one of the shapes below; anything else gets no answer.
"use strict";
import { copyText, hasAddress, reasonKey } from "./core/rows.js";
import { translator } from "./core/texts.js";
import { aria2Ready, aria2Words, loadAria2, permissionOf, sendToAria2 } from "./aria2.js";
import { loadSettings, readOptions } from "./settings.js";
import { PENDING, chosenSites, disableSite, enableSite, isChosen, patternOf, siteOf } from "./sites.js";

// Bounds on one message's text, well above a batch the content script sends.
const MAX_PIECES = 20000;
const MAX_CHARS = 1 << 24;

const isText = (value) => typeof value === "string";
const SHAPES = {
  "veltrun-hello": () => true,
  "veltrun-find": (m) => Array.isArray(m.pieces) && m.pieces.length <= MAX_PIECES && m.pieces.every(isText) &&
    m.pieces.reduce((sum, piece) => sum + piece.length, 0) <= MAX_CHARS,
  "veltrun-aria2": (m) => isText(m.input) && m.input.length <= MAX_CHARS,
};

function wellFormed(message) {
  if (message === null || typeof message !== "object" || !Object.hasOwn(SHAPES, message.type)) return false;
  return SHAPES[message.type](message);
}

// The words a marker shows, in the browser's language.
function words() {
  const language = chrome.i18n.getMessage("language") === "en" ? "en" : "zh";
  return translator(language);
}

// What a marker shows of a record: the address as the core renders it, the scheme, charset and
// repairs named, the text Copy copies, and the address to put in href where the core allows a
// link to it. A link the core read as no address (it gives a detail then) is named with what it
// decodes to, and nothing to copy, open or send.
function markOf(record, settings, text) {
  if (!hasAddress(record)) {
    return { input: record.input, address: null, reason: text(reasonKey(record)), detail: record.detail,
             tags: [text(record.scheme)], copy: null, href: null };
  }
  return {
    input: record.input,
    address: record.addressShown,
    tags: [text(record.scheme), text(record.charset), ...record.repairs.map((id) => text("repaired") + text(id))],
    copy: copyText(record, settings.copyAs),
    href: record.openable ? record.percentUtf8 : null,
  };
}

async function answer(core, message) {
  const settings = await loadSettings();
  if (message.type === "veltrun-hello") {
    return { rewrite: settings.rewriteHref, aria2: await aria2Ready() };
  }
  const theCore = await core();
  if (message.type === "veltrun-find") {
    const options = { ...readOptions(settings), wholeIfNone: false };
    const text = words();
    return {
      marks: theCore.findEach(message.pieces, options).map((records) =>
        records.filter((r) => hasAddress(r) || r.detail !== null).map((r) => markOf(r, settings, text))),
    };
  }
  // veltrun-aria2: the link is read again here, from the page's own text, rather than taken
  // from what a content script says it holds.
  const record = theCore.unwrap(message.input, readOptions(settings));
  if (record.percentOwn === null) return { words: chrome.i18n.getMessage("aria2_refused", "") };
  return { words: aria2Words(await sendToAria2([record.percentOwn])) };
}

// Starts answering the chosen sites' content scripts; `core` resolves to the loaded core.
export function serveSites(core) {
  chrome.runtime.onMessage.addListener((message, sender, reply) => {
    if (sender.id !== chrome.runtime.id || sender.tab === undefined || !wellFormed(message)) return false;
    // siteOf() gives null for the extension's own pages, which may be open in a tab too.
    isChosen(siteOf(sender.url))
      .then((chosen) => (chosen ? answer(core, message) : null))
      .then(reply, () => reply(null));
    return true;
  });
  // A site's permission granted from the popup's switch, where the popup closed meanwhile.
  chrome.permissions.onAdded.addListener(async ({ origins = [] }) => {
    const pending = (await chrome.storage.session.get(PENDING))[PENDING];
    if (typeof pending !== "string" || !origins.includes(patternOf(pending))) return;
    await chrome.storage.session.remove(PENDING);
    await enableSite(pending);
  });
  // A site's permission taken back in the browser's settings turns the site off.
  chrome.permissions.onRemoved.addListener(async ({ origins = [] }) => {
    const { address, saved } = await loadAria2();
    const keep = saved ? permissionOf(address) : null;
    for (const site of await chosenSites()) {
      if (origins.includes(patternOf(site))) await disableSite(site, keep);
    }
  });
}
