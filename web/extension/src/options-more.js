// The settings page's chosen sites, each with its switch off, and the aria2 address and secret.
// The stored secret is never put back into the page: its box stays empty, and an empty box
// keeps it.
"use strict";
import { loadAria2, permissionOf, saveAria2 } from "./aria2.js";
import { element } from "./core/rows.js";
import { chosenSites, disableSite } from "./sites.js";

const $ = (id) => document.getElementById(id);
const say = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));

async function keptPermission() {
  const { address, saved } = await loadAria2();
  return saved ? permissionOf(address) : null;
}

async function listSites() {
  const sites = await chosenSites();
  $("sites").replaceChildren(...sites.map((site) => {
    const off = element("button", "site-off", say("siteTurnOff"));
    off.type = "button";
    off.setAttribute("aria-label", say("siteTurnOff") + " " + site);
    off.addEventListener("click", async () => {
      await disableSite(site, await keptPermission());
      $("sites-notice").textContent = say("siteOff");
      await listSites();
    });
    const item = element("li", "site");
    item.append(element("span", "site-name", site), " ", off);
    return item;
  }));
  $("no-sites").hidden = sites.length > 0;
}

async function showAria2() {
  const { address, saved, secret } = await loadAria2();
  $("aria2-address").value = address;
  $("aria2-secret").value = "";
  $("aria2-secret").placeholder = saved && secret !== "" ? say("aria2SecretKept") : "";
}

$("aria2").addEventListener("submit", (event) => {
  event.preventDefault();
  const address = $("aria2-address").value.trim();
  const secret = $("aria2-secret").value;
  const pattern = permissionOf(address);
  if (pattern === null) {
    $("aria2-notice").textContent = say("aria2BadAddress");
    return;
  }
  // Asked first, while the click still counts as the user's.
  chrome.permissions.request({ origins: [pattern] }).catch(() => false).then(async (granted) => {
    if (!granted) {
      $("aria2-notice").textContent = say("aria2NoPermission");
      return;
    }
    await saveAria2(address, secret === "" ? null : secret);
    await showAria2();
    $("aria2-notice").textContent = say("saved");
  });
});

await Promise.all([listSites(), showAria2()]);
document.body.dataset.ready = "1";
