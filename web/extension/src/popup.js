// The popup, and the list tab (the same page opened with ?tab=ID for a page, or ?selection=KEY
// for a selection sent from the context menu). It reads the page as text, hands the text to the
// core's finder in pieces, and lists the records the core returns. Which text is a link and
// what it says is the core's; this script only moves text and builds rows.
import { loadCore } from "./core/veltrun-core.js";
import { copyLines, copyText, hasAddress, recordRow, summaryText } from "./core/rows.js";
import { translator } from "./core/texts.js";
import { gatherPageText } from "./gather.js";
import { offerAria2, offerSite } from "./popup-more.js";
import { SELECTION_PREFIX, loadSettings, readOptions, saveSettings } from "./settings.js";

const POPUP_ROWS = 100;  // a longer list is offered in a tab of its own
const ROWS_PER_PAGE = 60;  // the tab renders this many at a time, more as it is scrolled
// Decoding runs in tasks of a few milliseconds so that the list appears as it is found.
const TASK_MS = 30;
const PIECE_CHARS = 1 << 16;
const ROWS_PER_CALL = 200;

const $ = (id) => document.getElementById(id);
const params = new URLSearchParams(location.search);
const inTab = params.has("tab") || params.has("selection");
const language = chrome.i18n.getMessage("language") === "en" ? "en" : "zh";
const message = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));

const state = {
  core: null,
  text: translator(language),  // with the core's English repair names once it is loaded
  settings: null,
  source: "",  // the text being read
  fromPage: true,  // a page's text, not a selection
  tabId: null,
  records: [],
  seen: new Set(),
  decoded: 0,
  moreInRepair: null,  // the decoder's, once it has finished
  finished: false,
  job: 0,
  shown: 0,
  limit: inTab ? ROWS_PER_PAGE : POPUP_ROWS,
  nearEnd: false,
  addSend: null,  // gives a row its "send to aria2" button, once aria2 is set up
};

const text = (key, values) => state.text(key, values);

// --- sources ----------------------------------------------------------------------------------

async function readPage(tabId) {
  const results = await chrome.scripting.executeScript({ target: { tabId }, func: gatherPageText });
  const result = results?.[0]?.result;
  if (typeof result !== "string") throw new TypeError("the page gave no text");
  return result;
}

async function readSelection(key) {
  if (!key.startsWith(SELECTION_PREFIX)) return null;
  const stored = await chrome.storage.session.get(key);
  await chrome.storage.session.remove(key);
  return typeof stored[key] === "string" ? stored[key] : null;
}

async function readSource() {
  if (params.has("selection")) {
    state.fromPage = false;
    const selection = await readSelection(params.get("selection"));
    if (selection === null) throw new Error(message("selectionGone"));
    return selection;
  }
  state.tabId = params.has("tab")
    ? Number(params.get("tab"))
    : (await chrome.tabs.query({ active: true, currentWindow: true }))[0]?.id;
  try {
    return await readPage(state.tabId);
  } catch {
    throw new Error(message("cannotRead"));
  }
}

// --- the list ---------------------------------------------------------------------------------

const copy = (lines) => copyLines(lines, $("notice"), text);

const rowView = {
  text,
  copy: (lines) => copy(lines),
  copyText: (record) => copyText(record, state.settings.copyAs),
  get maxLinkBytes() { return state.core.maxLinkBytes; },
};

function fill() {
  const fragment = document.createDocumentFragment();
  for (; state.shown < state.records.length && state.shown < state.limit; state.shown++) {
    const row = recordRow(state.records[state.shown], state.shown, rowView);
    state.addSend?.(row, state.records[state.shown], state.shown);
    fragment.append(row);
  }
  $("rows").append(fragment);
}

function grow() {
  if (!inTab) return;
  state.limit = state.shown + ROWS_PER_PAGE;
  fill();
  if (state.shown < state.records.length) requestAnimationFrame(() => { if (state.nearEnd) grow(); });
}

function summarize() {
  const total = state.records.length;
  const { decoded, finished, moreInRepair } = state;
  const summary = summaryText(text, { total, decoded, finished, moreInRepair });
  $("summary").textContent = finished && total === 0 ? `${message("noLinks")} ${summary}`.trim() : summary;
  const offerTab = !inTab && state.finished && total > POPUP_ROWS;
  $("open-tab-line").hidden = !offerTab;
  if (offerTab) $("open-tab").textContent = message("openInTab", total);
}

// A record seen before (the same link in a link's target and its text, say) is listed once.
function add(record) {
  const key = `${record.outcome}\0${record.input}\0${record.address}`;
  if (state.seen.has(key)) return;
  state.seen.add(key);
  state.records.push(record);
  if (hasAddress(record)) state.decoded++;
}

const pause = () => (globalThis.scheduler?.yield ? scheduler.yield() : new Promise((r) => setTimeout(r)));

async function decode() {
  const job = ++state.job;
  const source = state.source;
  // A page without links is no link itself; a selection without one is read whole, as the
  // page reads a paste, to say why.
  const decoder = state.core.decoder({ ...readOptions(state.settings), wholeIfNone: !state.fromPage });
  Object.assign(state, { records: [], seen: new Set(), decoded: 0, moreInRepair: null, finished: false, shown: 0 });
  $("rows").replaceChildren();
  $("notice").textContent = "";
  let at = 0;
  let ended = false;
  while (!state.finished) {
    const taskStart = performance.now();
    do {
      const records = decoder.next(ROWS_PER_CALL);
      if (records.length > 0) {
        records.forEach(add);
      } else if (at < source.length) {
        const end = Math.min(at + PIECE_CHARS, source.length);  // the decoder joins split pairs
        decoder.feed(source.slice(at, end));
        at = end;
      } else if (!ended) {
        decoder.finish();
        state.moreInRepair = decoder.moreInRepair;
        ended = true;
      } else {
        state.finished = true;
      }
    } while (!state.finished && performance.now() - taskStart < TASK_MS);
    fill();
    summarize();
    // Marks the benchmark reads: the first rows on screen, and every record in.
    if (state.shown > 0 && performance.getEntriesByName("first-rows").length === 0) performance.mark("first-rows");
    if (state.finished) break;
    await pause();
    if (job !== state.job) {
      decoder.close();
      return;
    }
  }
  performance.mark("all-rows");
  document.body.dataset.decoded = String(job);  // lets tests and the benchmark see the end
}

// --- the page ---------------------------------------------------------------------------------

function applyTexts() {
  document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
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
  saveSettings(state.settings);
  then();
}

function listen() {
  $("strict").addEventListener("change", (e) => change("strict", e.target.checked, decode));
  $("charset").addEventListener("change", (e) => change("charset", e.target.value, decode));
  $("copy-as").addEventListener("change", (e) => change("copyAs", e.target.value, () => {}));
  $("copy-all").addEventListener("click", () =>
    copy(state.records.filter(hasAddress).map(rowView.copyText)));
  $("open-tab").addEventListener("click", async () => {
    await chrome.tabs.create({ url: chrome.runtime.getURL("popup.html?tab=" + state.tabId) });
    window.close();
  });
  new IntersectionObserver(([entry]) => {
    state.nearEnd = entry.isIntersecting;
    if (state.nearEnd) grow();
  }, { rootMargin: "0px 0px 800px 0px" }).observe($("more"));
}

async function start() {
  applyTexts();
  $("summary").textContent = message("scanning");
  // The page is read while the core compiles and the settings load.
  const source = readSource().then((text) => ({ text }), (error) => ({ error }));
  const core = loadCore(fetch(chrome.runtime.getURL("core/veltrun.wasm")))
    .then((loaded) => ({ loaded }), (error) => ({ error }));
  state.settings = await loadSettings();
  showSettings();
  listen();
  const read = await source;
  performance.mark("page-read");
  // The site switch and the aria2 buttons need the tab; they are found while the core loads.
  const offers = Promise.all([offerSite(state.tabId), offerAria2(() => state.records)]);
  const loaded = await core;
  if (read.error || loaded.error) {
    $("summary").textContent = read.error ? read.error.message : text("loadFailed");
    document.body.dataset.failed = "1";
    return;
  }
  state.source = read.text;
  state.core = loaded.loaded;
  state.text = translator(language, Object.fromEntries(state.core.repairs.map((r) => [r.id, r.description])));
  [, state.addSend] = await offers;
  await decode();
}

start();
