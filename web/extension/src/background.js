// The background: the context-menu entries (menus.js) and the one router of the messages the
// chosen sites' content scripts send (site-service.js). It loads the core on first use and does
// nothing in any page. No listener lets a rejection go unhandled: a failure is answered as
// {ok: false, error} where someone asked, and logged where no one did.
"use strict";
import { keptCore } from "../../ui/keeper.js";
import { translator } from "../../ui/texts.js";
import { LANGUAGE } from "./language.js";
import { createMenus, hasMenus, onMenuClicked, openList } from "./menus.js";
import { COPY, refused } from "./messages.js";
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
chrome.runtime.onMessage.addListener((message, sender, reply) => {
  if (sender.id !== chrome.runtime.id) return false;
  // The offscreen document's copy request, which the background itself sent.
  if (message?.type === COPY && sender.tab === undefined) return false;
  if (sender.tab === undefined) {
    reply(refused("unknown type"));
    return false;
  }
  fromSites(message, sender).then(reply, (error) => {
    report(error);
    reply(refused(error?.message ?? error));
  });
  return true;
});
followPermissions(report);
