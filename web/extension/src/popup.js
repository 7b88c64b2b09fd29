// The popup, and the list tab (the same page opened with ?tab=ID for a page, or ?selection=KEY
// for a selection sent from the context menu or a marker; &send=1 when a marker's address waits
// for the user to confirm it for aria2). It reads the page as text and lists what the core finds
// in it (ui/list.js); which text is a link and what it says is the core's.
"use strict";
import { keptCore } from "../../ui/keeper.js";
import { RecordList } from "../../ui/list.js";
import { copyLines, copyText, summaryText } from "../../ui/rows.js";
import { addSettingsFields } from "../../ui/settings-form.js";
import { translator } from "../../ui/texts.js";
import { offerAria2 } from "./aria2-buttons.js";
import { LANGUAGE } from "./language.js";
import { loadSettings, readOptions, saveSettings } from "./settings.js";
import { offerSite } from "./site-switch.js";
import { early } from "./popup-source.js";

const POPUP_ROWS = 100;  // a longer list is offered in a tab of its own

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const inTab = params.has("tab") || params.has("selection");
const message = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));
let wasm = early.wasm;  // taken once: a failed load fetches the module again
const core = keptCore(() => {
  const fetched = wasm ?? fetch(chrome.runtime.getURL("core/veltrun.wasm"));
  wasm = null;
  return fetched;
});

const state = {
  text: translator(LANGUAGE),  // with the core's English repair names once it is loaded
  settings: null,
  source: "",  // the text being read
  fromPage: true,  // a page's text, not a selection
  tabId: null,
  list: null,
  aria2: null,  // the aria2 buttons (aria2-buttons.js), once aria2 is set up
  siteOffered: null,  // settles once the site switch is shown, or found not to apply
};

const text = (key, values) => state.text(key, values);

// Shows a failure in the status line, where the user looks; the details go to the console.
function report(error) {
  console.error(error);
  $("summary").textContent = text("failed", { message: error?.message ?? String(error) });
  document.body.dataset.failed = "1";
}

// Runs `task` (which may return a promise) and reports its failure.
const run = (task) => Promise.resolve().then(task).catch(report);

// --- the list ---------------------------------------------------------------------------------

const copy = (lines) => run(() => copyLines(lines, $("notice"), text));

function summarize(counts) {
  state.aria2?.count(counts.decoded);
  const summary = summaryText(text, counts);
  $("summary").textContent = counts.finished && counts.total === 0 ? `${message("noLinks")} ${summary}`.trim() : summary;
  const offerTab = !inTab && counts.finished && counts.total > POPUP_ROWS;
  $("open-tab-line").hidden = !offerTab;
  if (offerTab) $("open-tab").textContent = message("openInTab", counts.total);
}

async function decode() {
  if (state.list === null) return;  // a choice changed before the core and the text are in
  $("notice").textContent = params.has("send") ? message("aria2Confirm") : "";
  delete document.body.dataset.failed;
  try {
    await core.use(async (theCore) => {
      // A page without links is no link itself; a selection without one is read whole, as the
      // page reads a paste, to say why.
      const options = { ...readOptions(state.settings), wholeIfNone: !state.fromPage };
      if (await state.list.decode(theCore, state.source, options)) {
        await state.siteOffered;  // the end is the whole popup's, site switch included
        document.body.dataset.decoded = String(state.list.job);  // lets tests and the benchmark see the end
      }
    });
  } catch (error) {
    report(error);
  }
}

// --- the page ---------------------------------------------------------------------------------

function applyTexts() {
  document.documentElement.lang = LANGUAGE === "zh" ? "zh-CN" : "en";
  for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = text(node.dataset.i18n);
  for (const node of document.querySelectorAll("[data-msg]")) node.textContent = message(node.dataset.msg);
  if (params.has("selection")) $("title").textContent = message("selectionTitle");
  document.title = "Veltrun: " + $("title").textContent;
  document.body.classList.toggle("tab", inTab);
  document.body.classList.toggle("page-scan", !params.has("selection"));
}

function showSettings() {
  $("strict").checked = state.settings.strict;
  $("charset").value = state.settings.charset;
  $("copy-as").value = state.settings.copyAs;
}

function change(name, value, then) {
  state.settings = { ...state.settings, [name]: value };
  run(async () => {
    await saveSettings(state.settings);
    await then();
  });
}

function listen() {
  $("strict").addEventListener("change", (e) => change("strict", e.target.checked, decode));
  $("charset").addEventListener("change", (e) => change("charset", e.target.value, decode));
  $("copy-as").addEventListener("change", (e) => change("copyAs", e.target.value, () => {}));
  $("copy-all").addEventListener("click", () => copy(state.list?.addresses() ?? []));
  $("open-tab").addEventListener("click", () => run(async () => {
    await chrome.tabs.create({ url: chrome.runtime.getURL("popup.html?tab=" + state.tabId) });
    window.close();
  }));
}

const loaded = core.get().then((theCore) => ({ theCore }), (error) => ({ error }));

async function start() {
  addSettingsFields($("choices"));
  applyTexts();
  $("summary").textContent = message("scanning");
  state.settings = await loadSettings(early.stored);
  showSettings();
  listen();
  // The aria2 buttons are found while the page is read; the site switch, which needs the tab,
  // is shown beside the first rows rather than before them.
  const aria2 = offerAria2(() => state.list.records, early.stored).catch((error) => {
    report(error);
    return null;
  });
  const read = await early.source;
  state.fromPage = read.fromPage;
  state.tabId = read.tabId;
  performance.mark("page-read");
  state.siteOffered = run(() => offerSite(state.tabId));
  const { theCore, error } = await loaded;
  if (read.error || error) {
    $("summary").textContent = read.error ? read.error.message : text("loadFailed");
    document.body.dataset.failed = "1";
    return;
  }
  state.source = read.read;
  state.text = translator(LANGUAGE, theCore.repairs);
  applyTexts();
  state.aria2 = await aria2;
  state.list = new RecordList($("rows"), $("more"), {
    text,
    copy,
    copyText: (record) => copyText(record, state.settings.copyAs),
    maxLinkBytes: theCore.maxLinkBytes,
    unique: true,
    limit: inTab ? undefined : POPUP_ROWS,
    grow: inTab,
    addToRow: state.aria2?.addToRow,
    summarize,
  });
  await decode();
}

run(start);
