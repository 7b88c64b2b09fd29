// The messages between the extension's parts, each type with the check of its fields, and the
// envelope of every answer: {ok: true, ...fields} or {ok: false, error}. A message of a type not
// listed here, or of a listed type in another shape, is refused.
"use strict";

// Bounds on what a content script sends at once, well above a batch it makes.
export const MAX_PIECES = 20000;
export const MAX_CHARS = 1 << 24;
const MAX_LINK_CHARS = 1 << 22;  // a link the core reads whole is at most 1 MiB of UTF-8

const isText = (value) => typeof value === "string";
const aLink = (m) => isText(m.input) && m.input.length <= MAX_LINK_CHARS;

// What the content scripts of chosen sites may ask the background (marks.js, a classic script,
// names these types itself).
export const FROM_SITES = Object.freeze({
  "veltrun-hello": () => true,
  "veltrun-find": (m) => Array.isArray(m.pieces) && m.pieces.length <= MAX_PIECES && m.pieces.every(isText) &&
    m.pieces.reduce((sum, piece) => sum + piece.length, 0) <= MAX_CHARS,
  // A marker's link to aria2, pressed where the browser vouched the marker was in plain sight.
  "veltrun-aria2": aLink,
  // A marker's link to aria2, to be confirmed in the extension's own list tab first.
  "veltrun-confirm": aLink,
});

// What the extension's pages tell a chosen site's content scripts (marks.js, which as a classic
// script names it itself): take the markers away and give the links back.
export const OFF = "veltrun-off";

// A text handed to the list tab (a selection, or a marker's link to confirm) waits in
// storage.session under a key that starts so; the tab's address names the key.
export const SELECTION_PREFIX = "selection:";

// What the popup asks the background (Chromium): the reading its click began, named by the
// token in the popup's address. The background takes it only from the popup itself, never from
// a tab, a page in a tab included.
export const READING = "veltrun-reading";
export const FROM_POPUP = Object.freeze({
  [READING]: (m) => isText(m.token) && m.token.length <= 64,
});

// What the background asks the offscreen document (Chromium).
export const COPY = "veltrun-copy";
export const isCopy = (m) => isObject(m) && m.type === COPY && isText(m.text);

const isObject = (m) => m !== null && typeof m === "object" && !Array.isArray(m);

// The check of `message` against `table`: null where it passes, else why it does not.
export function refusal(table, message) {
  if (!isObject(message) || !isText(message.type)) return "not a message";
  if (!Object.hasOwn(table, message.type)) return "unknown type";
  return table[message.type](message) ? null : "ill-formed " + message.type;
}

export const ok = (fields = {}) => ({ ...fields, ok: true });
export const refused = (error) => ({ ok: false, error: String(error) });

// The fields of `answer` where it says ok; else an Error with its reason.
export function checked(answer) {
  if (isObject(answer) && answer.ok === true) return answer;
  throw new Error(isObject(answer) && isText(answer.error) ? answer.error : "no answer");
}
