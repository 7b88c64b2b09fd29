// Chromium's background entry: the shared background, with the copy done in an offscreen
// document, since a service worker has no document of its own; and, while it runs, the click
// on the toolbar button, which starts reading the page before the popup opens (readings.js).
"use strict";
import "./background.js";
import { copyWith } from "./clipboard.js";
import { COPY, checked } from "./messages.js";
import { readAtClick } from "./readings.js";

readAtClick((error) => console.warn("Veltrun:", error));

const OFFSCREEN = "offscreen.html";

async function ensureOffscreen() {
  const url = chrome.runtime.getURL(OFFSCREEN);
  const open = await chrome.runtime.getContexts({ contextTypes: ["OFFSCREEN_DOCUMENT"], documentUrls: [url] });
  if (open.length > 0) return;
  try {
    await chrome.offscreen.createDocument({
      url: OFFSCREEN,
      reasons: ["CLIPBOARD"],
      justification: "Copies a decoded address chosen from the context menu.",
    });
  } catch (error) {
    // Two clicks in quick succession both try to create it; one document is all that counts.
    if (!/single offscreen/i.test(String(error?.message))) throw error;
  }
}

copyWith(async (text) => {
  await ensureOffscreen();
  return checked(await chrome.runtime.sendMessage({ type: COPY, text })).copied === true;
});
