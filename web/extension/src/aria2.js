// The hand-off to a running aria2 over its JSON-RPC interface. The address and the secret are
// kept in storage.local under their own key; the secret never goes into a page, a content script
// or a message, and it belongs to the address's origin: an address on another origin is never
// sent it. A request goes to that address only, only when the user asks for a download, and
// only while its host permission is still granted.
"use strict";
import { patternOf } from "./hosts.js";

export const DEFAULT_ADDRESS = "http://127.0.0.1:6800/jsonrpc";
const KEY = "aria2";
const TIMEOUT_MS = 10000;
// aria2's --rpc-max-request-size by default: it drops a longer request without an answer, which
// would read as "not running".
const MAX_REQUEST_BYTES = 2 * 1024 * 1024;
// What aria2 can fetch; anything else (file:, javascript:, mailto:) is never handed to it.
const FETCHABLE = new Set(["http", "https", "ftp", "sftp", "magnet"]);

const originOf = (address) => {
  try {
    return new URL(address).origin;
  } catch {
    return null;
  }
};

// {address, secret, saved}: the stored choice, or the default address before any. `read` is
// storage.local's answer where it was asked already (popup-early.js).
export async function loadAria2(read = chrome.storage.local.get(KEY)) {
  const stored = (await read)[KEY];
  const saved = stored !== null && typeof stored === "object" && patternOf(stored.address) !== null;
  return {
    address: saved ? stored.address : DEFAULT_ADDRESS,
    secret: saved && typeof stored.secret === "string" ? stored.secret : "",
    saved,
  };
}

// Keeps `address`, and `secret` unless it is null: then the stored secret stays, but only for
// an address on the same origin. Resolves to the permission of the address it replaced, or null.
export async function saveAria2(address, secret) {
  const old = await loadAria2();
  const sameOrigin = old.saved && originOf(old.address) === originOf(address);
  await chrome.storage.local.set({ [KEY]: { address, secret: secret ?? (sameOrigin ? old.secret : "") } });
  return old.saved ? patternOf(old.address) : null;
}

const granted = (address) => chrome.permissions.contains({ origins: [patternOf(address)] });

// Whether the download buttons are offered: an address saved and its permission granted.
export async function aria2Ready(read) {
  const { address, saved } = await loadAria2(read);
  return saved && granted(address);
}

// The scheme of `uri` in lower case, or "" where it has none.
const schemeOf = (uri) => /^([a-z][a-z0-9+.-]*):/i.exec(uri)?.[1].toLowerCase() ?? "";

// One JSON-RPC call; resolves to {result} or {reason, detail}, where reason is one of
// "notSet", "noPermission", "tooLarge", "notRunning", "wrongSecret", "refused".
async function call(config, method, params) {
  if (!config.saved) return { reason: "notSet" };
  // Checked at each call: the user may have taken the permission back meanwhile.
  if (!(await granted(config.address))) return { reason: "noPermission" };
  const body = JSON.stringify({ jsonrpc: "2.0", id: crypto.randomUUID(), method, params: ["token:" + config.secret, ...params] });
  if (new TextEncoder().encode(body).length > MAX_REQUEST_BYTES) return { reason: "tooLarge" };
  let response;
  try {
    response = await fetch(config.address, {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body,
      credentials: "omit",
      cache: "no-store",
      redirect: "error",
      signal: AbortSignal.timeout(TIMEOUT_MS),
    });
  } catch {
    return { reason: "notRunning" };
  }
  let answer;
  try {
    answer = await response.json();
  } catch {
    return { reason: "refused", detail: `HTTP ${response.status}` };
  }
  if (answer?.error) {
    const detail = String(answer.error.message ?? "");
    return { reason: detail === "Unauthorized" ? "wrongSecret" : "refused", detail };
  }
  return { result: answer?.result };
}

// Hands `uris` to aria2, one download each, stopping at the first refusal. An address aria2
// cannot fetch is refused here, before anything is sent. Resolves to {sent: number, reason?,
// detail?}.
export async function sendToAria2(uris) {
  const config = await loadAria2();
  let sent = 0;
  for (const uri of uris) {
    const scheme = schemeOf(uri);
    const answer = FETCHABLE.has(scheme) ? await call(config, "aria2.addUri", [[uri]])
      : { reason: "scheme", detail: scheme || uri.slice(0, 20) };
    if (answer.reason) return { sent, ...answer };
    sent++;
  }
  return { sent };
}

// What a user reads about `outcome` (from sendToAria2), in the extension's language.
export function aria2Words(outcome) {
  const say = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));
  if (!outcome.reason) return say("aria2Sent", outcome.sent);
  const why = say("aria2_" + outcome.reason, outcome.detail ?? "");
  return outcome.sent > 0 ? say("aria2Sent", outcome.sent) + " " + why : why;
}
