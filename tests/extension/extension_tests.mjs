// The extension in Debian's Chromium, loaded over the DevTools protocol, against pages from a
// fixture server on 127.0.0.1; one ctest test per group. Links are made with Node's Base64.
//   node extension_tests.mjs --extension build/extension --tools DIR --cli veltrun --group NAME
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { parseArgs } from "node:util";
import {
  Failure, SCHEMES, WRAP, allRows, check, expect, finished, gbk, launchChromium, openPopup,
  puppeteerFrom, rows, startServer, textOf,
} from "./harness.mjs";

const { values: options } = parseArgs({
  options: { extension: { type: "string" }, tools: { type: "string" }, cli: { type: "string" }, group: { type: "string" } },
});
const puppeteer = puppeteerFrom(options.tools);
const CHROMIUM = path.join(options.extension, "chromium");
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "veltrun-extension-"));

const TAG = { thunder: "迅雷", flashget: "快车", qqdl: "旋风", gbk: "GBK", utf8: "UTF-8" };
const html = (body, head = "") =>
  `<!doctype html><html><head><meta charset="utf-8"><title>fixture</title>${head}</head><body>${body}</body></html>`;
const page = (body, extra = {}) => ({ body: Buffer.from(body), ...extra });

// Runs `test(session, server)` with Chromium and the fixture server up, and always stops both.
async function withBrowser(pages, test, launchOptions = {}) {
  const server = await startServer(new Map(Object.entries(pages)));
  const session = await launchChromium(puppeteer, CHROMIUM, { scratch, ...launchOptions });
  try {
    return await test(session, server);
  } finally {
    await session.browser.close();
    await server.stop();
  }
}

async function visit(session, url) {
  const tab = await session.browser.newPage();
  await tab.goto(url, { waitUntil: "load" });
  return tab;
}

// --- every place x every scheme x ASCII, GBK and UTF-8 names ------------------------------------

const NAMES = [
  ["ascii", (place) => Buffer.from(`http://dl.example.com/${place}/setup.exe`), (place) => `http://dl.example.com/${place}/setup.exe`, "utf8"],
  ["gbk", (place) => gbk(`http://例子.cn/${place}/电影.mkv`), (place) => `http://例子.cn/${place}/电影.mkv`, "gbk"],
  ["utf8", (place) => Buffer.from(`http://例子.cn/${place}/电影.mkv`), (place) => `http://例子.cn/${place}/电影.mkv`, "utf8"],
];

// Where pages put links; each writes its links into the page (or the frame) its own way. The
// last two come after the document in the text the page side sends: current values of form
// fields, then same-origin frames.
const PLACES = [
  ["href", (l) => l.map((x) => `<a href="${x}">下载</a>`).join(" ")],
  ["thunderhref", (l) => l.map((x) => `<a href="#" thunderHref="${x}" thunderrestitle="电影">迅雷下载</a>`).join(" ")],
  ["random-attribute", (l) => l.map((x, i) => `<span class="dl" zq${i}x7="${x}">高速下载</span>`).join(" ")],
  ["copy-box", (l) => l.map((x) => `<input type="text" readonly value="${x}">`).join("")],
  ["textarea", (l) => `<textarea>${l.join("\n")}</textarea>`],
  ["hidden", (l) => l.map((x) => `<input type="hidden" name="u" value="${x}">`).join("")],
  ["onclick", (l) => l.map((x) => `<button onclick="return dl('${x}')">下载</button>`).join("")],
  ["script", (l) => `<script>${l.map((x, i) => `var downurls${i}="第0${i + 1}集$${x}#";`).join("\n")}</script>`],
  ["text", (l) => `<p>${l.map((x) => `地址：${x}`).join("<br>")}</p>`],
  ["field-value", (l) => l.map((_, i) => `<input class="later" id="later${i}" value="">`).join("") +
    `<script>${l.map((x, i) => `document.getElementById("later${i}").value = ${JSON.stringify(x)};`).join("")}</script>`],
  ["frame", () => `<iframe src="/frame.html"></iframe>`],
];

function linksAt(place) {
  const made = [];
  for (const scheme of SCHEMES) {
    for (const [, bytes, shown, charset] of NAMES)
      made.push({ link: WRAP[scheme](bytes(place)), address: shown(place), tags: [TAG[scheme], TAG[charset]] });
  }
  return made;
}

async function group_places() {
  const body = PLACES.map(([place, write]) => (place === "frame" ? write() : write(linksAt(place).map((m) => m.link))));
  const frameLinks = linksAt("frame").map((m) => m.link);
  await withBrowser({
    "/places.html": page(html(`<h1>论坛</h1>${body.join("\n")}`)),
    "/frame.html": page(html(PLACES.find(([p]) => p === "text")[1](frameLinks))),
  }, async (session, server) => {
    const tab = await visit(session, server.origin + "/places.html");
    const popup = await openPopup(session, tab);
    const got = await rows(popup);
    const wanted = PLACES.flatMap(([place]) => linksAt(place).map(({ address, tags }) => ({ address, tags })));
    expect("rows", got.map(({ address, tags }) => ({ address, tags })), wanted);
    // Only openable addresses are links, and they point at the address itself.
    check("every http address is a link", got.every((r) => r.href?.startsWith("http://")));
  });
}

export const GROUPS = { places: group_places };

async function main() {
  const names = options.group ? [options.group] : Object.keys(GROUPS);
  let failed = 0;
  try {
    for (const name of names) {
      const started = Date.now();
      try {
        await GROUPS[name]();
        console.log(`ok   ${name} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
      } catch (error) {
        failed++;
        console.log(`FAIL ${name}: ${error instanceof Failure ? "" : error.stack}${error.message}`);
      }
    }
  } finally {
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  process.exitCode = failed ? 1 : 0;
}

await main();
