// The sites where the user chose to see real addresses beside the links. A site is a scheme and
// a host (match patterns carry no port); it is chosen when its content script is registered,
// which needs its host permission, asked for in the click that chooses it. The registrations
// are the one record of the choice: nothing else keeps the list.
"use strict";
import { loadAria2 } from "./aria2.js";
import { patternOf } from "./hosts.js";
import { OFF } from "./messages.js";

const PREFIX = "site:";
const SCRIPTS = ["page-text.js", "marks.js"];

export async function chosenSites() {
  const scripts = await chrome.scripting.getRegisteredContentScripts();
  return scripts.filter((s) => s.id.startsWith(PREFIX)).map((s) => s.id.slice(PREFIX.length)).sort();
}

// Whether `site` is chosen and still has its permission (the user may have taken it back in the
// browser's own settings).
export async function isChosen(site) {
  if (site === null) return false;
  const [scripts, allowed] = await Promise.all([
    chrome.scripting.getRegisteredContentScripts({ ids: [PREFIX + site] }),
    chrome.permissions.contains({ origins: [patternOf(site)] }),
  ]);
  return scripts.length === 1 && allowed;
}

// Where the site being asked for waits (storage.session), so that the background can finish
// turning it on: Firefox closes the popup when it shows its permission prompt, and the popup's
// own promise dies with it.
export const PENDING = "pendingSite";

// The permission request for `site`: call it first thing in the click's handler, before any
// await, or the browser refuses it for want of a user gesture.
export function askFor(site) {
  chrome.storage.session.set({ [PENDING]: site }).catch(() => {});
  return chrome.permissions.request({ origins: [patternOf(site)] });
}

// Chooses `site` once its permission is granted: registers its script for later visits and
// runs it in the tabs already open on it.
export async function enableSite(site) {
  const id = PREFIX + site;
  const registered = async () => (await chrome.scripting.getRegisteredContentScripts({ ids: [id] })).length > 0;
  if (!(await registered())) {
    try {
      await chrome.scripting.registerContentScripts([{
        id, matches: [patternOf(site)], js: SCRIPTS, runAt: "document_idle", allFrames: true,
        persistAcrossSessions: true,
      }]);
    } catch (error) {
      // The popup and the background may both finish the same choice; one registration counts.
      if (!(await registered())) throw error;
      return;
    }
  }
  for (const tab of await chrome.tabs.query({ url: patternOf(site) })) {
    chrome.scripting.executeScript({ target: { tabId: tab.id, allFrames: true }, files: SCRIPTS }).catch(() => {});
  }
}

// Gives up the host permission `pattern` unless a chosen site or the aria2 address still needs
// it. A permission the manifest itself grants (a test build's) cannot be given up; what needed
// it is off all the same.
export async function release(pattern) {
  if (pattern === null) return;
  const { address, saved } = await loadAria2();
  const needed = (await chosenSites()).map(patternOf);
  if (saved) needed.push(patternOf(address));
  if (!needed.includes(pattern)) await chrome.permissions.remove({ origins: [pattern] }).catch(() => false);
}

// Turns `site` off: its open tabs take their markers away and give back the links they changed,
// its script is unregistered and its permission given up where nothing else needs it.
export async function disableSite(site) {
  const pattern = patternOf(site);
  const tabs = await chrome.tabs.query({ url: pattern }).catch(() => []);
  await Promise.all(tabs.map((tab) => chrome.tabs.sendMessage(tab.id, { type: OFF }).catch(() => {})));
  await chrome.scripting.unregisterContentScripts({ ids: [PREFIX + site] }).catch(() => {});
  await release(pattern);
}
