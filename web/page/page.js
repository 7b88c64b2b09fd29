// The page's script: carries the box's text into the core and its records out as rows. Which
// text is a link, how it is repaired, decoded, shown, encoded and whether it may be clicked is
// decided by the core; nothing here reads a link. assemble.py bundles it with the modules it
// imports and the embedded core into the page's one script.
"use strict";

import { keptCore } from "../ui/keeper.js";
import { RecordList } from "../ui/list.js";
import { copyButton, copyLines, copyText as copyAs, element, summaryText } from "../ui/rows.js";
import { addSettingsFields } from "../ui/settings-form.js";
import { translator } from "../ui/texts.js";
import { WASM_BASE64 } from "./embedded-wasm.js";

// Chromium lays out a text area's whole text, which takes it about a second per few MB: a
// longer text is decoded whole but only its start is put in the box.
const BOX_CHARS = 1 << 16;
const PREVIEW_CHARS = 4000;
const $ = (id) => document.getElementById(id);
const core = keptCore(() => Uint8Array.from(atob(WASM_BASE64), (c) => c.charCodeAt(0)));

// Everything the page holds.
const state = {
  core: null,      // the core of the latest decode
  language: "zh",
  text: translator("zh"),
  held: null,      // the text being decoded when it is too long for the box
  list: null,
};

const text = (key, values) => state.text(key, values);

// Shows what went wrong where the user looks, and leaves the details to the console.
function report(error) {
  console.error(error);
  $("notice").textContent = text("failed", { message: error.message });
}

// Runs `task` (which may return a promise) and reports its failure.
const run = (task) => Promise.resolve().then(task).catch(report);

const copy = (lines) => run(() => copyLines(lines, $("notice"), text));

// --- decoding ---------------------------------------------------------------------------------

const copyText = (record) => copyAs(record, $("copy-as").value);

function summarize(counts) {
  $("summary").textContent = summaryText(text, counts);
}

async function decode() {
  const source = state.held ?? $("input").value;
  $("notice").textContent = "";
  // A core that trapped is dropped by core.use(), and the next decode loads a fresh one.
  const done = await core.use(async (theCore) => {
    state.core = theCore;
    return state.list.decode(theCore, source, { lenient: !$("strict").checked, charset: $("charset").value });
  });
  if (done) document.body.dataset.decoded = String(state.list.job);  // lets tests and the benchmark see the end
}

// --- encoding ---------------------------------------------------------------------------------

async function encode() {
  const made = await core.use((theCore) => theCore.encode($("addresses").value, { gbk: $("encode-gbk").checked }));
  const list = $("encoded");
  list.replaceChildren();
  for (const { status, input, links } of made) {
    const item = element("li", status === "ok" ? "row" : "row refused");
    item.append(element("code", "input", input));
    if (status !== "ok") item.append(element("p", "reason", text(status)));
    for (const { scheme, link } of links) {
      const line = element("p", "link");
      line.append(element("span", "tag", text(scheme)), element("code", "address", link),
                  copyButton(text("copy"), text("copyLink", { scheme: text(scheme) }), () => copy([link])));
      item.append(line);
    }
    list.append(item);
  }
}

// --- the page ---------------------------------------------------------------------------------

// Puts the words of the current language in the page; with the core loaded, renders its rows
// again in them.
function applyLanguage() {
  state.text = translator(state.language, state.core?.repairs);
  document.documentElement.lang = state.language === "zh" ? "zh-CN" : "en";
  for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = text(node.dataset.i18n);
  $("language").textContent = text("language");
  $("language").lang = state.language === "zh" ? "en" : "zh-CN";
  document.title = "Veltrun " + text("title");
  if (state.core === null) return;
  state.list.redraw();
  showHeld();
  return encode();
}

// Puts `content` in the box, or its start only when it is long; either way decodes it all.
function setInput(content) {
  const box = $("input");
  state.held = content.length > BOX_CHARS ? content : null;
  box.readOnly = state.held !== null;
  box.value = state.held === null ? content : content.slice(0, PREVIEW_CHARS) + "\n…";
  $("held").hidden = state.held === null;
  showHeld();
  if (state.held === null) return decode();
  // The first layout of a long text's start (its fonts found the first time) gets a frame of its
  // own, ahead of the first rows'.
  return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve))).then(decode);
}

// Both languages group digits by three with commas; toLocaleString would say the same, but its
// first call loads the locale's data inside the paste's task.
const grouped = (n) => String(n).replace(/\B(?=(\d{3})+$)/g, ",");

function showHeld() {
  if (state.held !== null) $("held-text").textContent = text("held", { size: grouped(state.held.length) });
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
  await setInput(await core.use((theCore) => theCore.fileText(bytes)));
}

function start(theCore) {
  state.core = theCore;
  state.list = new RecordList($("rows"), $("more"), {
    text, copy, copyText, maxLinkBytes: theCore.maxLinkBytes, unique: false, summarize,
  });
  applyLanguage();
  $("version").textContent = "Veltrun " + theCore.version;
  let scheduled = false;
  const later = () => {
    if (scheduled) return;
    scheduled = true;
    setTimeout(() => { scheduled = false; run(decode); });
  };
  $("input").addEventListener("input", later);
  $("input").addEventListener("paste", (event) => {
    const start = performance.now();
    const pasted = event.clipboardData.getData("text/plain");
    // The browser reads the clipboard while the event's task waits, a few ms per MB; the
    // benchmark tells that part of the task from ours.
    performance.measure("clipboard-read", { start });
    if (state.held === null && pasted.length + $("input").value.length <= BOX_CHARS) return;
    event.preventDefault();
    // In a task of its own, since the reading has already made this one long.
    setTimeout(() => run(() => setInput(pasted)));
  });
  $("release").addEventListener("click", () => {
    run(() => setInput(""));
    $("input").focus();
  });
  $("strict").addEventListener("change", () => run(decode));
  $("charset").addEventListener("change", () => run(decode));
  $("addresses").addEventListener("input", () => run(encode));
  for (const radio of document.getElementsByName("encode-bytes")) radio.addEventListener("change", () => run(encode));
  $("copy-all").addEventListener("click", () => copy(state.list.addresses()));
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
  const decoded = run(decode);
  run(encode);
  document.body.dataset.ready = "1";
  return decoded;
}

addSettingsFields($("choices"));
applyLanguage();
core.get()
  .then(start, (error) => {
    console.error(error);
    $("summary").textContent = text("loadFailed");
  })
  .catch(report);
