// The settings page: the choices the popup also offers, saved as they change.
import { translator } from "./core/texts.js";
import { loadSettings, saveSettings } from "./settings.js";

const $ = (id) => document.getElementById(id);
const language = chrome.i18n.getMessage("language") === "en" ? "en" : "zh";
const text = translator(language);

document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = text(node.dataset.i18n);
for (const node of document.querySelectorAll("[data-msg]")) node.textContent = chrome.i18n.getMessage(node.dataset.msg);
document.title = chrome.i18n.getMessage("optionsTitle");

const settings = await loadSettings();
$("strict").checked = settings.strict;
$("charset").value = settings.charset;
$("copy-as").value = settings.copyAs;
$("rewrite").checked = settings.rewriteHref;
$("settings").addEventListener("change", async () => {
  await saveSettings({ strict: $("strict").checked, charset: $("charset").value, copyAs: $("copy-as").value,
                       rewriteHref: $("rewrite").checked });
  $("notice").textContent = chrome.i18n.getMessage("saved");
});
