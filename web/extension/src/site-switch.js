// The popup's switch that shows real addresses on the tab's site.
"use strict";
import { siteOf } from "./hosts.js";
import { PENDING, askFor, disableSite, enableSite, isChosen } from "./sites.js";

const $ = (id) => document.getElementById(id);
const say = (name) => chrome.i18n.getMessage(name);
const tell = (words) => { $("notice").textContent = words; };

async function urlOf(tabId) {
  try {
    return (await chrome.tabs.get(tabId)).url ?? "";
  } catch {
    return "";
  }
}

async function turnOn(asked, site, box) {
  let granted = false;
  try {
    granted = await asked;
    await chrome.storage.session.remove(PENDING);
    if (granted) await enableSite(site);
  } catch (error) {
    console.error(error);
    granted = false;
  }
  box.checked = granted;
  tell(say(granted ? "siteOn" : "siteRefused"));
}

// Shows the site switch for the page in tab `tabId`, where a site can be chosen.
export async function offerSite(tabId) {
  const site = tabId === null ? null : siteOf(await urlOf(tabId));
  if (site === null) return;
  const box = $("site");
  box.checked = await isChosen(site);
  $("site-line").hidden = false;
  box.addEventListener("change", () => {
    if (box.checked) {
      // The request comes first, while the click still counts as the user's.
      turnOn(askFor(site), site, box);
    } else {
      disableSite(site).then(() => tell(say("siteOff")), (error) => tell(String(error?.message ?? error)));
    }
  });
}
