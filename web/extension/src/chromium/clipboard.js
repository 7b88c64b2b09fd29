// The background's clipboard in Chromium: a service worker has none, so an offscreen document
// does the copy.

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

// Copies `text` from the background; resolves to whether it was copied.
export async function copyFromBackground(text) {
  await ensureOffscreen();
  return chrome.runtime.sendMessage({ target: "offscreen", type: "copy", text });
}
