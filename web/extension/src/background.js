// The background: the context-menu entries (menus.js) and the one router of the messages the
// chosen sites' content scripts send (site-service.js). It loads the core on first use and does
// nothing in any page. No listener lets a rejection go unhandled: a failure is answered as
// {ok: false, error} where someone asked, and logged where no one did.
"use strict";
import { keptCore } from "../../ui/keeper.js";
import { translator } from "../../ui/texts.js";
import { LANGUAGE } from "./language.js";
import { createMenus, hasMenus, onMenuClicked, openList } from "./menus.js";
import { COPY, FROM_POPUP, ok, refusal, refused } from "./messages.js";
import { takeReading } from "./readings.js";
import { followPermissions, siteRouter } from "./site-service.js";

const core = keptCore(() => fetch(chrome.runtime.getURL("core/veltrun.wasm")));
const words = (theCore) => translator(LANGUAGE, theCore.repairs);
const report = (error) => console.warn("Veltrun:", error);

// Menus outlive the background; they are made when the extension is installed or updated and
// when the browser starts.
const makeMenus = () => { createMenus(core).catch(report); };
chrome.runtime.onInstalled.addListener(makeMenus);
chrome.runtime.onStartup.addListener(makeMenus);
if (hasMenus()) chrome.contextMenus.onClicked.addListener((info, tab) => { onMenuClicked(core, info, tab).catch(report); });

const fromSites = siteRouter(core, words, openList);
const POPUP = chrome.runtime.getURL("popup.html");

// The popup's one question (Chromium): the reading its click began, as {tabId, text}, text null
// where the reading failed; refused where there is no such reading. Short of a text, the popup
// reads the page itself.
async function fromPopup(message) {
  const why = refusal(FROM_POPUP, message);
  if (why) return refused(why);
  const entry = takeReading(message.token);
  if (entry === null) return refused("no reading");
  const text = await entry.reading.catch(() => null);
  return ok({ tabId: entry.tabId, text });
}

chrome.runtime.onMessage.addListener((message, sender, reply) => {
  if (sender.id !== chrome.runtime.id) return false;
  // The offscreen document's copy request, which the background itself sent.
  if (message?.type === COPY && sender.tab === undefined) return false;
  if (sender.tab === undefined && !sender.url?.startsWith(POPUP + "?")) {
    reply(refused("unknown type"));
    return false;
  }
  const route = sender.tab === undefined ? fromPopup(message) : fromSites(message, sender);
  route.then(reply, (error) => {
    report(error);
    reply(refused(error?.message ?? error));
  });
  return true;
});
followPermissions(report);
