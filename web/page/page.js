// The page's script: carries the box's text into the core and its records out as rows. Which
// text is a link, how it is repaired, decoded, shown, encoded and whether it may be clicked is
// decided by the core; nothing here reads a link. assemble.py bundles it with the modules it
// imports and the embedded core into the page's one script.
"use strict";

import { loadCore } from "../core/veltrun-core.js";
import { copyButton, copyLines, copyText as copyAs, element, hasAddress, recordRow, summaryText } from "../core/rows.js";
import { translator } from "../core/texts.js";
import { WASM_BASE64 } from "./embedded-wasm.js";

// The page decodes in tasks of about TASK_MS each, below the 50 ms a browser counts as long, so
// that no paste, however long, keeps it from answering: text goes into the core in pieces, rows
// come out a few hundred at a time.
const TASK_MS = 30;
const PIECE_CHARS = 1 << 16;
const ROWS_PER_CALL = 200;
const ROWS_PER_PAGE = 60;  // rendered at a time, more as the list is scrolled near its end
// Chromium lays out a text area's whole text, which takes it about a second per few MB: a
// longer text is decoded whole but only its start is put in the box.
const BOX_CHARS = 1 << 16;
const PREVIEW_CHARS = 4000;
const $ = (id) => document.getElementById(id);

// What the latest decode found and how much of it is on screen.
const newList = () => ({
  records: [],
  decoded: 0,          // records with an address
  moreInRepair: null,  // the decoder's, once it has finished
  finished: false,
  shown: 0,            // rows rendered
  limit: ROWS_PER_PAGE,
});

// Everything the page holds.
const state = {
  core: null,
  language: "zh",
  text: translator("zh"),
  held: null,      // the text being decoded when it is too long for the box
  job: 0,          // the latest decode: an older one stops at its next pause
  nearEnd: false,  // the end of the list is near the view, so more rows are rendered
  list: newList(),
};

const text = (key, values) => state.text(key, values);

// Shows what went wrong where the user looks, and leaves the details to the console.
function report(error) {
  console.error(error);
  $("notice").textContent = text("failed", { message: error.message });
}

// Runs `task` (which may return a promise) and reports its failure.
const run = (task) => Promise.resolve().then(task).catch(report);

const copy = (lines) => copyLines(lines, $("notice"), text);

// --- decoding ---------------------------------------------------------------------------------

const copyText = (record) => copyAs(record, $("copy-as").value);

const rowView = {
  text,
  copy: (lines) => run(() => copy(lines)),
  copyText,
  get maxLinkBytes() { return state.core.maxLinkBytes; },
};

function fill() {
  const list = state.list;
  const fragment = document.createDocumentFragment();
  for (; list.shown < list.records.length && list.shown < list.limit; list.shown++)
    fragment.append(recordRow(list.records[list.shown], list.shown, rowView));
  $("rows").append(fragment);
}

function grow() {
  state.list.limit = state.list.shown + ROWS_PER_PAGE;
  fill();
  if (state.list.shown < state.list.records.length)
    requestAnimationFrame(() => { if (state.nearEnd) grow(); });
}

function summarize() {
  const { records, decoded, finished, moreInRepair } = state.list;
  $("summary").textContent = summaryText(text, { total: records.length, decoded, finished, moreInRepair });
}

const pause = () => globalThis.scheduler?.yield ? scheduler.yield() : new Promise((r) => setTimeout(r));

// The end of the piece of `source` that starts at `at`.
const pieceEnd = (source, at) => Math.min(at + PIECE_CHARS, source.length);

async function decode() {
  const id = ++state.job;
  const source = state.held ?? $("input").value;
  const decoder = state.core.decoder({ lenient: !$("strict").checked, charset: $("charset").value });
  const list = state.list = newList();
  $("rows").replaceChildren();
  $("notice").textContent = "";
  try {
    let at = 0;
    while (!list.finished) {
      const taskStart = performance.now();
      do {
        const records = decoder.next(ROWS_PER_CALL);
        if (records.length > 0) {
          for (const record of records) {
            list.records.push(record);
            if (hasAddress(record)) list.decoded++;
          }
        } else if (at < source.length) {
          const end = pieceEnd(source, at);
          decoder.feed(source.slice(at, end));
          at = end;
        } else if (decoder.moreInRepair === null) {
          decoder.finish();
          list.moreInRepair = decoder.moreInRepair;
        } else {
          list.finished = true;
        }
      } while (!list.finished && performance.now() - taskStart < TASK_MS);
      fill();
      summarize();
      if (list.finished) break;
      await pause();
      if (id !== state.job) return;
    }
  } finally {
    decoder.close();
  }
  document.body.dataset.decoded = String(state.job);  // lets tests and the benchmark see the end
}

// --- encoding ---------------------------------------------------------------------------------

function encode() {
  const list = $("encoded");
  list.replaceChildren();
  for (const { status, input, links } of state.core.encode($("addresses").value, { gbk: $("encode-gbk").checked })) {
    const item = element("li", status === "ok" ? "row" : "row refused");
    item.append(element("code", "input", input));
    if (status !== "ok") item.append(element("p", "reason", text(status)));
    for (const { scheme, link } of links) {
      const line = element("p", "link");
      line.append(element("span", "tag", text(scheme)), element("code", "address", link),
                  copyButton(text("copy"), text("copyLink", { scheme: text(scheme) }), () => run(() => copy([link]))));
      item.append(line);
    }
    list.append(item);
  }
}

// --- the page ---------------------------------------------------------------------------------

// Puts the words of the current language in the page; with the core loaded, renders its rows
// again in them.
function applyLanguage() {
  const fallback = state.core ? Object.fromEntries(state.core.repairs.map((r) => [r.id, r.description])) : {};
  state.text = translator(state.language, fallback);
  document.documentElement.lang = state.language === "zh" ? "zh-CN" : "en";
  for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = text(node.dataset.i18n);
  $("language").textContent = text("language");
  $("language").lang = state.language === "zh" ? "en" : "zh-CN";
  document.title = "Veltrun " + text("title");
  if (state.core === null) return;
  $("rows").replaceChildren();
  const list = state.list;
  list.limit = list.shown;
  list.shown = 0;
  fill();
  summarize();
  showHeld();
  encode();
}

// Puts `content` in the box, or its start only when it is long; either way decodes it all.
function setInput(content) {
  const box = $("input");
  state.held = content.length > BOX_CHARS ? content : null;
  box.readOnly = state.held !== null;
  box.value = state.held === null ? content : content.slice(0, PREVIEW_CHARS) + "\n…";
  $("held").hidden = state.held === null;
  showHeld();
  return decode();
}

function showHeld() {
  if (state.held !== null)
    $("held-text").textContent = text("held", { size: state.held.length.toLocaleString(state.language === "zh" ? "zh-CN" : "en") });
}

async function readFile(file) {
  let bytes;
  try {
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    console.error(error);
    $("notice").textContent = text("readFailed", { name: file.name });
    return;
  }
  await setInput(state.core.fileText(bytes));
}

function start(core) {
  state.core = core;
  applyLanguage();
  $("version").textContent = "Veltrun " + core.version;
  let scheduled = false;
  const later = () => {
    if (scheduled) return;
    scheduled = true;
    setTimeout(() => { scheduled = false; run(decode); });
  };
  $("input").addEventListener("input", later);
  $("input").addEventListener("paste", (event) => {
    const pasted = event.clipboardData.getData("text/plain");
    if (state.held === null && pasted.length + $("input").value.length <= BOX_CHARS) return;
    event.preventDefault();
    run(() => setInput(pasted));
  });
  $("release").addEventListener("click", () => {
    run(() => setInput(""));
    $("input").focus();
  });
  $("strict").addEventListener("change", () => run(decode));
  $("charset").addEventListener("change", () => run(decode));
  $("addresses").addEventListener("input", () => run(encode));
  for (const radio of document.getElementsByName("encode-bytes")) radio.addEventListener("change", () => run(encode));
  $("copy-all").addEventListener("click", () =>
    run(() => copy(state.list.records.filter(hasAddress).map(copyText))));
  $("language").addEventListener("click", () => {
    state.language = state.language === "zh" ? "en" : "zh";
    run(applyLanguage);
  });
  $("file").addEventListener("change", (event) => {
    if (event.target.files.length > 0) run(() => readFile(event.target.files[0]));
  });
  const box = $("input");
  box.addEventListener("dragover", (event) => event.preventDefault());
  box.addEventListener("drop", (event) => {
    if (event.dataTransfer.files.length === 0) return;
    event.preventDefault();
    run(() => readFile(event.dataTransfer.files[0]));
  });
  new IntersectionObserver(([entry]) => {
    state.nearEnd = entry.isIntersecting;
    if (state.nearEnd) grow();
  }, { rootMargin: "0px 0px 800px 0px" }).observe($("more"));
  const decoded = decode();
  encode();
  document.body.dataset.ready = "1";
  return decoded;
}

applyLanguage();
loadCore(Uint8Array.from(atob(WASM_BASE64), (c) => c.charCodeAt(0)))
  .then(start, (error) => {
    console.error(error);
    $("summary").textContent = text("loadFailed");
  })
  .catch(report);
