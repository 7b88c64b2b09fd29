// The user's choices, kept in storage.local under one key and read back through one gate, so
// that a value from an older version or a damaged store falls back to its default. The chosen
// sites are kept as their registered scripts (sites.js), the aria2 address under its own key
// (aria2.js).
"use strict";
import { COPY_FORMS } from "../../ui/rows.js";

export const CHOICES = Object.freeze({
  strict: [false, true],
  charset: ["auto", "gbk", "utf8"],
  copyAs: Object.keys(COPY_FORMS),
  rewriteHref: [false, true],
});

export const DEFAULTS = Object.freeze({ strict: false, charset: "auto", copyAs: "text", rewriteHref: false });

const KEY = "settings";

// Keeps the known fields whose values are allowed, defaults for the rest.
export function sanitize(stored) {
  const settings = { ...DEFAULTS };
  if (stored !== null && typeof stored === "object") {
    for (const [name, allowed] of Object.entries(CHOICES)) {
      if (allowed.includes(stored[name])) settings[name] = stored[name];
    }
  }
  return settings;
}

// `read` is storage.local's answer for them where it was asked already (popup-early.js).
export async function loadSettings(read = chrome.storage.local.get(KEY)) {
  const stored = await read;
  return sanitize(stored[KEY]);
}

export function saveSettings(settings) {
  return chrome.storage.local.set({ [KEY]: sanitize(settings) });
}

// The options the core's calls take.
export const readOptions = (settings) => ({ lenient: !settings.strict, charset: settings.charset });
