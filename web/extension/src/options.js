// The settings page: the reading and copying choices the popup also offers, link rewriting, the
// chosen sites (each with its switch off), and the aria2 address and secret. The stored secret
// is never put back into the page: its box stays empty, and an empty box keeps it for the same
// address's origin only.
"use strict";
import { element } from "../../ui/rows.js";
import { addSettingsFields } from "../../ui/settings-form.js";
import { translator } from "../../ui/texts.js";
import { loadAria2, saveAria2 } from "./aria2.js";
import { isLoopback, patternOf } from "./hosts.js";
import { LANGUAGE } from "./language.js";
import { loadSettings, saveSettings } from "./settings.js";
import { chosenSites, disableSite, release } from "./sites.js";

const $ = (id) => document.getElementById(id);
const text = translator(LANGUAGE);
const say = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));

// Runs `task` and shows its failure in `notice`.
const run = (task, notice) => Promise.resolve().then(task).catch((error) => {
  console.error(error);
  $(notice).textContent = text("failed", { message: error?.message ?? String(error) });
});

// --- the choices --------------------------------------------------------------------------------

async function showSettings() {
  const settings = await loadSettings();
  $("strict").checked = settings.strict;
  $("charset").value = settings.charset;
  $("copy-as").value = settings.copyAs;
  $("rewrite").checked = settings.rewriteHref;
  $("settings").addEventListener("change", () => run(async () => {
    await saveSettings({ strict: $("strict").checked, charset: $("charset").value, copyAs: $("copy-as").value,
                         rewriteHref: $("rewrite").checked });
    $("notice").textContent = say("saved");
  }, "notice"));
}

// --- the sites ----------------------------------------------------------------------------------

async function listSites() {
  const sites = await chosenSites();
  $("sites").replaceChildren(...sites.map((site) => {
    const off = element("button", "site-off", say("siteTurnOff"));
    off.type = "button";
    off.setAttribute("aria-label", say("siteTurnOff") + " " + site);
    off.addEventListener("click", () => run(async () => {
      await disableSite(site);
      $("sites-notice").textContent = say("siteOff");
      await listSites();
    }, "sites-notice"));
    const item = element("li", "site");
    item.append(element("span", "site-name", site), " ", off);
    return item;
  }));
  $("no-sites").hidden = sites.length > 0;
}

// --- aria2 --------------------------------------------------------------------------------------

async function showAria2() {
  const { address, saved, secret } = await loadAria2();
  $("aria2-address").value = address;
  $("aria2-secret").value = "";
  $("aria2-secret").placeholder = saved && secret !== "" ? say("aria2SecretKept") : "";
}

let warnedFor = null;  // the remote plain-http address the user was warned of

function saveAddress() {
  const tell = (words) => { $("aria2-notice").textContent = words; };
  const address = $("aria2-address").value.trim();
  const secret = $("aria2-secret").value;
  const pattern = patternOf(address);
  if (pattern === null) {
    tell(say("aria2BadAddress"));
    return;
  }
  // On another machine over plain http, the secret and every address cross the network in the
  // clear: saved only when pressed again after the warning.
  if (address.toLowerCase().startsWith("http:") && !isLoopback(address) && warnedFor !== address) {
    warnedFor = address;
    tell(say("aria2PlainHttp"));
    return;
  }
  // Asked first, while the click still counts as the user's.
  const asked = chrome.permissions.request({ origins: [pattern] }).catch(() => false);
  run(async () => {
    if (!(await asked)) {
      tell(say("aria2NoPermission"));
      return;
    }
    const replaced = await saveAria2(address, secret === "" ? null : secret);
    if (replaced !== pattern) await release(replaced);
    warnedFor = null;
    await showAria2();
    tell(say("saved"));
  }, "aria2-notice");
}

// --- the page -----------------------------------------------------------------------------------

addSettingsFields($("settings"));
document.documentElement.lang = LANGUAGE === "zh" ? "zh-CN" : "en";
for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = text(node.dataset.i18n);
for (const node of document.querySelectorAll("[data-msg]")) node.textContent = say(node.dataset.msg);
document.title = say("optionsTitle");
$("aria2").addEventListener("submit", (event) => {
  event.preventDefault();
  saveAddress();
});
run(async () => {
  await Promise.all([showSettings(), listSites(), showAria2()]);
  document.body.dataset.ready = "1";
}, "notice");
