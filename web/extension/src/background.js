// The background: the two context-menu entries. It loads the core when it makes the menus (their
// link patterns are the core's schemes) and when one is used; it does nothing in any page. It
// also answers the markers on the sites the user chose (site-service.js).
//
// Copying from the background needs the clipboardWrite permission in both browsers (nothing
// focused, no user activation where the copy happens), and that permission warns at install.
// So it is optional: asked for on the first "copy the real address", and where it is refused
// the link opens in the list tab, whose Copy button needs no permission.
import { loadCore } from "./core/veltrun-core.js";
import { copyFromBackground } from "./clipboard.js";
import { copyText } from "./core/rows.js";
import { SELECTION_PREFIX, loadSettings, readOptions } from "./settings.js";
import { serveSites } from "./site-service.js";

const MENU_COPY = "copy-real-address";
const MENU_SELECTION = "decode-selection";
const CLIPBOARD = { permissions: ["clipboardWrite"] };

let corePromise = null;
// Loaded once per life of the background; a failed load is tried again at the next use.
const core = () => (corePromise ??= loadCore(fetch(chrome.runtime.getURL("core/veltrun.wasm")))
  .catch((error) => {
    corePromise = null;
    throw error;
  }));

async function createMenus() {
  const { schemes } = await core();
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

// Opens the list tab on `text`, next to the tab it came from.
async function openList(text, tab) {
  const key = SELECTION_PREFIX + crypto.randomUUID();
  await chrome.storage.session.set({ [key]: text });
  const url = chrome.runtime.getURL("popup.html?selection=" + encodeURIComponent(key));
  const where = tab?.id >= 0 ? { index: tab.index + 1, openerTabId: tab.id, windowId: tab.windowId } : {};
  return chrome.tabs.create({ url, ...where });
}

// What a click on either entry does. Returns what it did, for whoever calls it.
function onMenuClicked(info, tab) {
  // Asked before anything is awaited, while the click still counts as the user's own act.
  const mayCopy = info.menuItemId === MENU_COPY
    ? chrome.permissions.request(CLIPBOARD).catch(() => chrome.permissions.contains(CLIPBOARD))
    : null;
  return handleMenu(info, tab, mayCopy);
}

async function handleMenu(info, tab, mayCopy) {
  if (info.menuItemId === MENU_COPY && typeof info.linkUrl === "string") {
    const settings = await loadSettings();
    const record = (await core()).unwrap(info.linkUrl, readOptions(settings));
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

// Menus outlive the background; they are made when the extension is installed or updated and
// when the browser starts.
chrome.runtime.onInstalled.addListener(createMenus);
chrome.runtime.onStartup.addListener(createMenus);
chrome.contextMenus.onClicked.addListener((info, tab) => {
  onMenuClicked(info, tab);
});
serveSites(core);
// Headless browsers cannot open a context menu; the tests call the handler with synthetic events.
globalThis.onMenuClicked = onMenuClicked;
