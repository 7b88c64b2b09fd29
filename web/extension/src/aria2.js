// The hand-off to a running aria2 over its JSON-RPC interface. The address and the secret are
// kept in storage.local under their own key; the secret never goes into a page, a content script
// or a message. A request goes to that address only, and only when the user asks for a download.
"use strict";

export const DEFAULT_ADDRESS = "http://127.0.0.1:6800/jsonrpc";
const KEY = "aria2";
const TIMEOUT_MS = 10000;

// The host permission the address needs (match patterns carry no port), or null for an address
// that is no http(s) URL.
export function permissionOf(address) {
  let parsed;
  try {
    parsed = new URL(address);
  } catch {
    return null;
  }
  if (parsed.protocol !== "http:" && parsed.protocol !== "https:") return null;
  return `${parsed.protocol}//${parsed.hostname}/*`;
}

// {address, secret, saved}: the stored choice, or the default address before any.
export async function loadAria2() {
  const stored = (await chrome.storage.local.get(KEY))[KEY];
  const saved = stored !== null && typeof stored === "object" && permissionOf(stored.address) !== null;
  return {
    address: saved ? stored.address : DEFAULT_ADDRESS,
    secret: saved && typeof stored.secret === "string" ? stored.secret : "",
    saved,
  };
}

// Keeps `address`, and `secret` unless it is null (the stored one stays).
export async function saveAria2(address, secret) {
  const old = await loadAria2();
  await chrome.storage.local.set({ [KEY]: { address, secret: secret ?? old.secret } });
}

// Whether the download buttons are offered: an address saved and its permission granted.
export async function aria2Ready() {
  const { address, saved } = await loadAria2();
  return saved && chrome.permissions.contains({ origins: [permissionOf(address)] });
}

// One JSON-RPC call; resolves to {result} or {reason, detail}, where reason is one of
// "notSet", "notRunning", "wrongSecret", "refused".
async function call(config, method, params) {
  if (!config.saved) return { reason: "notSet" };
  let response;
  try {
    response = await fetch(config.address, {
      method: "POST",
      headers: { "Content-Type": "application/json" },
      body: JSON.stringify({ jsonrpc: "2.0", id: crypto.randomUUID(), method, params: ["token:" + config.secret, ...params] }),
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

// Hands `uris` to aria2, one download each, stopping at the first refusal. Resolves to
// {sent: number, reason?, detail?}.
export async function sendToAria2(uris) {
  const config = await loadAria2();
  let sent = 0;
  for (const uri of uris) {
    const answer = await call(config, "aria2.addUri", [[uri]]);
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
