// What the popup and the list tab offer beyond the list: the switch that shows real addresses
// on the tab's site, and the buttons that hand addresses to aria2 once it is set up.
"use strict";
import { aria2Ready, aria2Words, loadAria2, permissionOf, sendToAria2 } from "./aria2.js";
import { copyButton } from "./core/rows.js";
import { PENDING, askFor, disableSite, enableSite, isChosen, siteOf } from "./sites.js";

const $ = (id) => document.getElementById(id);
const say = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));
const tell = (words) => { $("notice").textContent = words; };

async function urlOf(tabId) {
  try {
    return (await chrome.tabs.get(tabId)).url ?? "";
  } catch {
    return "";
  }
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
      askFor(site).then(async (granted) => {
        await chrome.storage.session.remove(PENDING);
        if (!granted) {
          box.checked = false;
          tell(say("siteRefused"));
          return;
        }
        await enableSite(site);
        tell(say("siteOn"));
      }).catch(() => {
        box.checked = false;
        tell(say("siteRefused"));
      });
    } else {
      loadAria2().then(({ address, saved }) => disableSite(site, saved ? permissionOf(address) : null))
        .then(() => tell(say("siteOff")));
    }
  });
}

async function send(uris) {
  if (uris.length === 0) return;
  tell(say("aria2Sending"));
  tell(aria2Words(await sendToAria2(uris)));
}

// Resolves to a function that gives a row of `record` its "send to aria2" button, or to null
// where aria2 is not set up; then also shows the button that sends every address, taken from
// `records()`.
export async function offerAria2(records) {
  if (!(await aria2Ready())) return null;
  const all = $("send-all");
  all.hidden = false;
  all.textContent = say("sendAllToAria2");
  all.addEventListener("click", () => send(records().filter((r) => r.percentOwn !== null).map((r) => r.percentOwn)));
  return (row, record, index) => {
    if (record.percentOwn === null) return;
    const button = copyButton(say("sendToAria2"), say("sendRowToAria2", index + 1), () => send([record.percentOwn]));
    button.classList.replace("copy", "send");
    row.querySelector(".copy").after(button);
  };
}
