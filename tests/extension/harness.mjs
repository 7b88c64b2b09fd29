// What the extension's tests and benchmark share: the fixture server, links made with Node's own
// Base64 (apart from the core's encoder), and Chromium with the extension loaded, driven over the
// DevTools protocol on a pipe.
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import { createRequire } from "node:module";

export class Failure extends Error {}

export function expect(what, got, wanted) {
  const [g, w] = [JSON.stringify(got), JSON.stringify(wanted)];
  if (g === w) return;
  if (Array.isArray(got) && Array.isArray(wanted) && got.length > 3) {
    const differs = got.findIndex((item, i) => JSON.stringify(item) !== JSON.stringify(wanted[i]));
    const at = differs < 0 ? got.length : differs;  // else the one is the other's start
    throw new Failure(`${what}: ${got.length} items, wanted ${wanted.length}; item ${at} is ` +
      `${JSON.stringify(got[at])}, wanted ${JSON.stringify(wanted[at])}`);
  }
  throw new Failure(`${what}: got ${g}, wanted ${w}`);
}

export function check(what, condition) {
  if (!condition) throw new Failure(what);
}

// puppeteer-core from the folder `npm ci` installed it in (the build's, not the source tree's).
export function puppeteerFrom(tools) {
  return createRequire(path.join(path.resolve(tools), "package.json"))("puppeteer-core");
}

// --- links --------------------------------------------------------------------------------------

const b64 = (bytes) => Buffer.from(bytes).toString("base64");
export const WRAP = {
  thunder: (a) => "thunder://" + b64(Buffer.concat([Buffer.from("AA"), a, Buffer.from("ZZ")])),
  flashget: (a) => "flashget://" + b64(Buffer.concat([Buffer.from("[FLASHGET]"), a, Buffer.from("[FLASHGET]")])),
  qqdl: (a) => "qqdl://" + b64(a),
};
export const SCHEMES = Object.keys(WRAP);

// GBK bytes of a few names, written out since Node has no GBK encoder: 例子 电影 中文.
export const GBK = { 例子: [0xc0, 0xfd, 0xd7, 0xd3], 电影: [0xb5, 0xe7, 0xd3, 0xb0], 中文: [0xd6, 0xd0, 0xce, 0xc4] };
export function gbk(text) {
  const parts = [];
  for (let rest = text; rest.length > 0;) {
    const word = Object.keys(GBK).find((w) => rest.startsWith(w));
    if (word) {
      parts.push(Buffer.from(GBK[word]));
      rest = rest.slice(word.length);
    } else {
      if (rest.charCodeAt(0) > 0x7f) throw new Error("no GBK bytes for " + rest[0]);
      parts.push(Buffer.from(rest[0]));
      rest = rest.slice(1);
    }
  }
  return Buffer.concat(parts);
}

// A forum page with `count` links in a table, one scheme after another: the long page of the
// tests and the benchmark.
export function largePage(count) {
  const made = [];
  const cells = [];
  for (let i = 0; i < count; i++) {
    const address = `http://dl.example.com/${i}/电影.mkv`;
    made.push({ link: WRAP[SCHEMES[i % 3]](Buffer.from(address)), address });
    cells.push(`<tr><td>${i}</td><td><a href="${made[i].link}">第${i}集</a></td></tr>`);
  }
  const html = `<!doctype html><html><head><meta charset="utf-8"><title>forum</title></head>` +
    `<body><table>${cells.join("\n")}</table></body></html>`;
  return { made, html };
}

// --- the fixture server -------------------------------------------------------------------------

// Serves `pages` (path -> {body, type, headers}) on 127.0.0.1 at a free port, answers at most
// `maxRequests`, logs every request, and stops itself after `lifetimeMs` whatever happens.
export async function startServer(pages, { maxRequests = 2000, lifetimeMs = 120000 } = {}) {
  const log = [];
  const server = http.createServer((request, response) => {
    log.push(request.url);
    const page = pages.get(request.url.split("?")[0]);
    if (log.length > maxRequests || page === undefined) {
      response.writeHead(404, { "Content-Type": "text/plain" }).end("not here");
      return;
    }
    response.writeHead(200, { "Content-Type": page.type ?? "text/html; charset=utf-8", ...page.headers });
    response.end(page.body);
  });
  await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
  const stopTimer = setTimeout(() => server.close(), lifetimeMs);
  stopTimer.unref();
  return {
    origin: `http://127.0.0.1:${server.address().port}`,
    log,
    stop: () => {
      clearTimeout(stopTimer);
      server.closeAllConnections();
      return new Promise((resolve) => server.close(resolve));
    },
  };
}

// What a test build adds to the background: headless browsers open no context menu, so tests
// call its handler, with a core of its own, as a click would; and they start a reading of a tab
// as a click on the toolbar button does, without its popup.
const TEST_HOOKS = `import { keptCore } from "./ui/keeper.js";
import { onMenuClicked } from "./menus.js";
import { startReading } from "./readings.js";
const core = keptCore(() => fetch(chrome.runtime.getURL("core/veltrun.wasm")));
globalThis.onMenuClicked = (info, tab) => onMenuClicked(core, info, tab);
globalThis.startReading = startReading;
`;

// A copy of the extension at `dir` in `scratch` for tests only: its manifest lists
// `manifestAdditions` more (what a user would grant when asked) and none of the `without`
// permissions, and its background has the test hooks.
export function testBuild(dir, scratch, manifestAdditions = {}, { without = [] } = {}) {
  const copy = fs.mkdtempSync(path.join(scratch, "build-"));
  fs.cpSync(dir, copy, { recursive: true });
  const file = path.join(copy, "manifest.json");
  const manifest = JSON.parse(fs.readFileSync(file, "utf8"));
  for (const [key, values] of Object.entries(manifestAdditions)) manifest[key] = [...(manifest[key] ?? []), ...values];
  manifest.permissions = manifest.permissions.filter((p) => !without.includes(p));
  fs.writeFileSync(file, JSON.stringify(manifest));
  fs.writeFileSync(path.join(copy, "test-hooks.js"), TEST_HOOKS);
  const background = path.join(copy, "background.js");
  fs.writeFileSync(background, 'import "./test-hooks.js";\n' + fs.readFileSync(background, "utf8"));
  return copy;
}

// --- Chromium -----------------------------------------------------------------------------------

export const CHROMIUM_FLAGS = [
  "--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
  "--disable-sync", "--no-first-run", "--disable-default-apps", "--window-size=1000,800",
];

// Chromium with the extension at `dir` loaded; `lang` chooses the browser's language.
export async function launchChromium(puppeteer, dir, { lang = "zh-CN", scratch } = {}) {
  const userDataDir = fs.mkdtempSync(path.join(scratch ?? os.tmpdir(), "chromium-"));
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    pipe: true,
    enableExtensions: true,
    userDataDir,
    args: [...CHROMIUM_FLAGS, `--lang=${lang}`],
    env: { ...process.env, LANGUAGE: lang.replace("-", "_") },
  });
  const id = await browser.installExtension(path.resolve(dir));
  const extension = (await browser.extensions()).get(id);
  return { browser, id, extension, origin: `chrome-extension://${id}` };
}

// Clicks the toolbar button on `page` and returns the popup once it has listed the page.
export async function openPopup(session, page, { timeout = 20000 } = {}) {
  const opened = session.browser.waitForTarget(
    (t) => t.url().startsWith(`${session.origin}/popup.html`) && t.type() === "page", { timeout });
  await page.bringToFront();
  await session.extension.triggerAction(page);
  const popup = await (await opened).asPage();
  await finished(popup, timeout);
  return popup;
}

// Waits until the popup or list page has decoded (or failed).
export async function finished(page, timeout = 20000) {
  await page.waitForFunction(() => document.body?.dataset.decoded || document.body?.dataset.failed, { timeout });
}

// Every row as the DOM shows it.
export function rows(page) {
  return page.evaluate(() => {
    const pick = (li, sel) => li.querySelector(sel)?.textContent ?? null;
    return [...document.querySelectorAll("#rows > li")].map((li) => ({
      address: pick(li, ".address"),
      href: li.querySelector("a")?.getAttribute("href") ?? null,
      tags: [...li.querySelectorAll(".tag:not(.repair)")].map((t) => t.textContent),
      repairs: [...li.querySelectorAll("[data-repair]")].map((t) => t.dataset.repair),
      reason: pick(li, ".reason"),
      detail: pick(li, ".detail"),
      input: pick(li, ".input"),
    }));
  });
}

// Scrolls the list tab until it has rendered `total` rows, and returns them.
export async function allRows(page, total, timeout = 30000) {
  const end = Date.now() + timeout;
  while ((await page.evaluate(() => document.querySelectorAll("#rows > li").length)) < total) {
    if (Date.now() > end) throw new Failure(`the list did not reach ${total} rows`);
    await page.evaluate(() => document.getElementById("more").scrollIntoView());
    await new Promise((r) => setTimeout(r, 50));
  }
  return rows(page);
}

// Runs `test(session, server)` with `pages` served and Chromium up with the extension in `dir`,
// and always stops both.
export async function withChromium(puppeteer, dir, pages, test, launchOptions) {
  const server = await startServer(new Map(Object.entries(pages)));
  const session = await launchChromium(puppeteer, dir, launchOptions);
  try {
    return await test(session, server);
  } finally {
    await session.browser.close();
    await server.stop();
  }
}

// A new tab of `session` at `url`, once loaded.
export async function visit(session, url) {
  const tab = await session.browser.newPage();
  await tab.goto(url, { waitUntil: "load" });
  return tab;
}

// The extension's service worker target.
export const backgroundTarget = (session) =>
  session.browser.waitForTarget((t) => t.type() === "service_worker" && t.url().startsWith(session.origin));

// The service worker once its script has run: just after it starts, its scope may lack `chrome`
// and the handlers the tests call.
export async function background(session) {
  const worker = await (await backgroundTarget(session)).worker();
  const ready = () => typeof chrome === "object" && typeof onMenuClicked === "function";
  for (let tries = 0; tries < 200; tries++) {
    if (await worker.evaluate(ready).catch(() => false)) return worker;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Failure("the extension's service worker never became ready");
}

export const textOf = (page, id) => page.evaluate((i) => document.getElementById(i).textContent, id);

// Runs each group of `groups` (only the one named `only`, when given), a line "ok" or "FAIL" for
// each, then removes `scratch`; the exit status says whether any failed.
export async function runGroups(groups, only, scratch) {
  const names = only ? [only] : Object.keys(groups);
  let failed = 0;
  try {
    for (const name of names) {
      const started = Date.now();
      try {
        await groups[name]();
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

// --- Firefox ------------------------------------------------------------------------------------

// Fixed for the tests through a pref, so that they know the extension's pages' origin.
const FIREFOX_UUID = "5d7c3b8e-0f41-4c2a-9b6d-3e8f1a2c4b70";

// Firefox ESR over WebDriver BiDi with a test build of the Firefox extension in `dir`, its
// manifest given `manifestAdditions`, installed for the session. Its pages are at `origin`.
export async function launchFirefox(puppeteer, dir, scratch, manifestAdditions, buildOptions) {
  const geckoId = JSON.parse(fs.readFileSync(path.join(dir, "manifest.json"), "utf8"))
    .browser_specific_settings.gecko.id;
  const browser = await puppeteer.launch({
    browser: "firefox",
    executablePath: "/usr/bin/firefox-esr",
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(scratch, "firefox-")),
    args: ["--remote-allow-system-access"],
    extraPrefsFirefox: { "extensions.webextensions.uuids": JSON.stringify({ [geckoId]: FIREFOX_UUID }) },
  });
  try {
    await browser.installExtension(testBuild(dir, scratch, manifestAdditions, buildOptions));
  } catch (error) {
    await browser.close();
    throw error;
  }
  return { browser, origin: `moz-extension://${FIREFOX_UUID}` };
}

// Polls `page` until `predicate(arg)` holds there. A navigation under way replaces the page's
// realm, which fails a wait in it, so each try stands alone.
export async function until(page, predicate, arg, timeout = 15000) {
  for (const end = Date.now() + timeout; Date.now() < end; await new Promise((r) => setTimeout(r, 100))) {
    try {
      if (await page.evaluate(predicate, arg)) return;
    } catch {}
  }
  throw new Failure("timed out waiting for " + predicate);
}

// Opens `url`, a fixture page on 127.0.0.1, in a tab of `browser` (Firefox), then the extension's
// list of that tab's links in another, and waits until the list is done. Navigations to extension
// pages never resolve over BiDi: they are started, then polled.
export async function openFirefoxList(browser, origin, url) {
  const forum = await browser.newPage();
  await forum.goto(url, { waitUntil: "load" });
  const list = await browser.newPage();
  list.goto(`${origin}/options.html`).catch(() => {});
  await until(list, () => location.pathname === "/options.html" && typeof browser === "object" && document.readyState === "complete");
  const tabId = await list.evaluate(async () => (await browser.tabs.query({ url: "http://127.0.0.1/*" }))[0].id);
  list.goto(`${origin}/popup.html?tab=${tabId}`).catch(() => {});
  await until(list, () => location.pathname === "/popup.html" && Boolean(document.body?.dataset.decoded || document.body?.dataset.failed));
  return { forum, list };
}
