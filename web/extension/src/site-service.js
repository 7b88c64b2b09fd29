// The background's side of the chosen sites: what it answers their content scripts, which send
// page text and get back what the core found in it, and hand a marker's link to aria2. A message
// is answered only when it comes from this extension's content script in a frame of a chosen
// site, in one of the shapes messages.js lists, and within a frame's share of messages.
"use strict";
import { copyText, hasAddress, reasonKey } from "../../ui/rows.js";
import { aria2Ready, aria2Words, sendToAria2 } from "./aria2.js";
import { patternOf, siteOf } from "./hosts.js";
import { FROM_SITES, ok, refused, refusal } from "./messages.js";
import { loadSettings, readOptions } from "./settings.js";
import { PENDING, chosenSites, disableSite, enableSite, isChosen } from "./sites.js";

// A frame may send this many messages at once, and this many more each second after: far more
// than its content script sends with its few batches in flight.
const BURST = 40;
const PER_SECOND = 20;

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

// The handlers, by message type: each takes the message and its sender and resolves to the
// fields of an answer. `core` is the kept core (ui/keeper.js), `words(core)` the translator of
// the browser's language, `openList(text, tab, options)` opens the list tab on a text.
function handlers(core, words, openList) {
  return {
    "veltrun-hello": async () => {
      const settings = await loadSettings();
      return { rewrite: settings.rewriteHref, aria2: await aria2Ready() };
    },
    "veltrun-find": async (message) => {
      const settings = await loadSettings();
      const options = { ...readOptions(settings), wholeIfNone: false };
      return core.use((theCore) => {
        const text = words(theCore);
        return {
          marks: theCore.findEach(message.pieces, options).map((records) =>
            records.filter((r) => hasAddress(r) || r.detail !== null).map((r) => markOf(r, settings, text))),
        };
      });
    },
    // The link is read again here, from the page's own text, rather than taken from what a
    // content script says it holds.
    "veltrun-aria2": async (message) => {
      const settings = await loadSettings();
      const record = await core.use((theCore) => theCore.unwrap(message.input, readOptions(settings)));
      const address = record.percentOwn;
      if (address === null) return { words: chrome.i18n.getMessage("aria2_noAddress") };
      return { words: aria2Words(await sendToAria2([address])) };
    },
    "veltrun-confirm": async (message, sender) => {
      if (!(await aria2Ready())) throw new Error("aria2 is not set up");
      await openList(message.input, sender.tab, { send: true });
      return {};
    },
  };
}

// The router of the content scripts' messages: type -> check -> handler. Returns
// route(message, sender), which resolves to the answer's envelope.
export function siteRouter(core, words, openList) {
  const table = handlers(core, words, openList);
  const buckets = new Map();  // frame -> {tokens, at}
  const withinShare = (sender) => {
    const frame = `${sender.tab.id}:${sender.frameId}`;
    const now = Date.now();
    const bucket = buckets.get(frame) ?? { tokens: BURST, at: now };
    bucket.tokens = Math.min(BURST, bucket.tokens + ((now - bucket.at) / 1000) * PER_SECOND);
    bucket.at = now;
    buckets.set(frame, bucket);
    if (buckets.size > 1000) buckets.delete(buckets.keys().next().value);  // the oldest frame
    if (bucket.tokens < 1) return false;
    bucket.tokens -= 1;
    return true;
  };
  return async (message, sender) => {
    const why = refusal(FROM_SITES, message);
    if (why !== null) return refused(why);
    if (!withinShare(sender)) return refused("busy");
    // siteOf() gives null for the extension's own pages, which may be open in a tab too.
    if (!(await isChosen(siteOf(sender.url)))) return refused("not a chosen site");
    return ok(await table[message.type](message, sender));
  };
}

// Keeps the chosen sites in step with the permissions the browser holds.
// `report` is told of what fails.
export function followPermissions(report) {
  // A site's permission granted from the popup's switch, where the popup closed meanwhile.
  chrome.permissions.onAdded.addListener(({ origins = [] }) => {
    (async () => {
      const pending = (await chrome.storage.session.get(PENDING))[PENDING];
      if (typeof pending !== "string" || !origins.includes(patternOf(pending))) return;
      await chrome.storage.session.remove(PENDING);
      await enableSite(pending);
    })().catch(report);
  });
  // A site's permission taken back in the browser's settings turns the site off.
  chrome.permissions.onRemoved.addListener(({ origins = [] }) => {
    (async () => {
      for (const site of await chosenSites()) {
        if (origins.includes(patternOf(site))) await disableSite(site);
      }
    })().catch(report);
  });
}
