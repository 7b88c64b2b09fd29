// The two context-menu entries, and the list tab they and the markers open. Firefox for Android
// has no context menus: there the entries are simply not made, and nothing else depends on them.
//
// Copying from the background needs the clipboardWrite permission in both browsers (nothing
// focused, no user activation where the copy happens), and that permission warns at install.
// So it is optional: asked for on the first "copy the real address", and where it is refused
// the link opens in the list tab, whose Copy button needs no permission.
"use strict";
import { copyText } from "../../ui/rows.js";
import { copyFromBackground } from "./clipboard.js";
import { SELECTION_PREFIX } from "./messages.js";
import { loadSettings, readOptions } from "./settings.js";

const MENU_COPY = "copy-real-address";
const MENU_SELECTION = "decode-selection";
const CLIPBOARD = { permissions: ["clipboardWrite"] };

export const hasMenus = () => typeof chrome.contextMenus?.create === "function";

// Makes the entries; `core` is the kept core, whose schemes their link patterns are.
export async function createMenus(core) {
  if (!hasMenus()) return;
  const { schemes } = await core.get();
  await chrome.contextMenus.removeAll();
  chrome.contextMenus.create({
    id: MENU_COPY,
    title: chrome.i18n.getMessage("menuCopyAddress"),
    contexts: ["link"],
    // Browsers lower-case a link's scheme, so these cover THUNDER:// too.
    targetUrlPatterns: schemes.map((scheme) => scheme + ":*"),
  });
  chrome.contextMenus.create({
    id: MENU_SELECTION,
    title: chrome.i18n.getMessage("menuDecodeSelection"),
    contexts: ["selection"],
  });
}

// Opens the list tab on `text`, next to the tab it came from; with `send`, the tab asks the
// user to confirm the address before it goes to aria2.
export async function openList(text, tab, { send = false } = {}) {
  const key = SELECTION_PREFIX + crypto.randomUUID();
  await chrome.storage.session.set({ [key]: text });
  const url = chrome.runtime.getURL("popup.html?selection=" + encodeURIComponent(key) + (send ? "&send=1" : ""));
  const where = tab?.id >= 0 ? { index: tab.index + 1, openerTabId: tab.id, windowId: tab.windowId } : {};
  return chrome.tabs.create({ url, ...where });
}

async function handleMenu(core, info, tab, mayCopy) {
  if (info.menuItemId === MENU_COPY && typeof info.linkUrl === "string") {
    const settings = await loadSettings();
    const record = await core.use((theCore) => theCore.unwrap(info.linkUrl, readOptions(settings)));
    const chosen = copyText(record, settings.copyAs);
    if (chosen && (await mayCopy)) {
      return { copied: await copyFromBackground(chosen), text: chosen };
    }
    // The list tab says why this link gives no address, or offers its Copy button.
    await openList(info.linkUrl, tab);
    return { opened: true };
  }
  if (info.menuItemId === MENU_SELECTION && typeof info.selectionText === "string") {
    await openList(info.selectionText, tab);
    return { opened: true };
  }
  return {};
}

// What a click on either entry does; resolves to what it did.
export function onMenuClicked(core, info, tab) {
  // Asked before anything is awaited, while the click still counts as the user's own act.
  const mayCopy = info.menuItemId === MENU_COPY
    ? chrome.permissions.request(CLIPBOARD).catch(() => chrome.permissions.contains(CLIPBOARD))
    : null;
  return handleMenu(core, info, tab, mayCopy);
}
