// Which host permission an address needs. Match patterns carry no port, so a site is a scheme
// and a host; a "*" typed into a host would make a pattern for every host, so a host is taken
// only as the URL parser leaves a plain one (letters, digits, dots, dashes and underscores,
// IDNs in punycode, or an IPv6 address). Chromium keeps a "*" as "%2A", Firefox as "*".
"use strict";

// The site ("http://host") of `url`, or null where none can be granted: the browser's own
// pages, files, extension pages, and a host holding "*".
export function siteOf(url) {
  let parsed;
  try {
    parsed = new URL(url);
  } catch {
    return null;
  }
  if (parsed.protocol !== "http:" && parsed.protocol !== "https:") return null;
  if (!/^([a-z0-9_-]+\.)*[a-z0-9_-]+$|^\[[0-9a-f:.]+\]$/i.test(parsed.hostname)) return null;
  return `${parsed.protocol}//${parsed.hostname}`;
}

// The match pattern, and the host permission, of `url` (an address or a site), or null.
export function patternOf(url) {
  const site = siteOf(url);
  return site === null ? null : site + "/*";
}

// Whether `url`'s host is this machine, where plain http is read by no one else.
export function isLoopback(url) {
  let host;
  try {
    host = new URL(url).hostname;
  } catch {
    return false;
  }
  return host === "localhost" || host === "[::1]" || /^127(\.\d{1,3}){3}$/.test(host);
}
