// The extension in Debian's Chromium, loaded over the DevTools protocol, against pages from a
// fixture server on 127.0.0.1; one ctest test per group. Links are made with Node's Base64.
//   node extension_tests.mjs --extension build/extension --tools DIR --cli veltrun --group NAME
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { parseArgs } from "node:util";
import {
  SCHEMES, WRAP, allRows, background, backgroundTarget, check, expect, finished, gbk, largePage,
  openPopup, puppeteerFrom, rows, runGroups, testBuild, textOf, visit, withChromium,
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
const withBrowser = (pages, test, { dir = testBuild(CHROMIUM, scratch), ...launchOptions } = {}) =>
  withChromium(puppeteer, dir, pages, test, { scratch, ...launchOptions });

// The build with the clipboard permission the first "copy the real address" asks for, granted.
const clipboardBuild = () => testBuild(CHROMIUM, scratch, { permissions: ["clipboardWrite"] });

// --- every place x every scheme x ASCII, GBK and UTF-8 names ------------------------------------

const NAMES = [
  ["ascii", (place) => Buffer.from(`http://dl.example.com/${place}/setup.exe`), (place) => `http://dl.example.com/${place}/setup.exe`, "utf8"],
  ["gbk", (place) => gbk(`http://例子.cn/${place}/电影.mkv`), (place) => `http://例子.cn/${place}/电影.mkv`, "gbk"],
  ["utf8", (place) => Buffer.from(`http://例子.cn/${place}/电影.mkv`), (place) => `http://例子.cn/${place}/电影.mkv`, "utf8"],
];

// A script expression giving `link` whose source does not hold it: a field's value set so is in
// no markup and no script text, only in the field.
const hidden = (link) => `atob(${JSON.stringify(Buffer.from(link).toString("base64"))})`;

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
    `<script>${l.map((x, i) => `document.getElementById("later${i}").value = ${hidden(x)};`).join("")}</script>`],
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

// --- pages that fight back or change -------------------------------------------------------------

// A few links in a place each, from one scheme and name kind at a time.
const sample = (tag) => SCHEMES.map((scheme, i) => {
  const [, bytes, shown, charset] = NAMES[i];
  return { link: WRAP[scheme](bytes(tag)), address: shown(tag), tags: [TAG[scheme], TAG[charset]] };
});
const addressesOf = (list) => list.map(({ address, tags }) => ({ address, tags }));
const shownRows = async (popup) => (await rows(popup)).map(({ address, tags }) => ({ address, tags }));

async function group_csp() {
  const made = sample("csp");
  const body = `<a href="${made[0].link}">下载</a><input value="${made[1].link}"><p>${made[2].link}</p>` +
    `<script>document.title = "scripts ran";</script>`;
  await withBrowser({
    "/empty.html": page(html("<p>迅雷 快车 旋风 下载</p>")),
    "/csp.html": page(html(body), { headers: { "Content-Security-Policy": "default-src 'none'; script-src 'none'; style-src 'none'; frame-src 'none'" } }),
  }, async (session, server) => {
    const tab = await visit(session, server.origin + "/csp.html");
    expect("the page's own scripts are blocked", await tab.title(), "fixture");
    expect("rows", await shownRows(await openPopup(session, tab)), addressesOf(made));
    // A page without links says so, with no row for its markup.
    const empty = await visit(session, server.origin + "/empty.html");
    const popup = await openPopup(session, empty);
    expect("a page without links", { rows: await rows(popup), summary: await textOf(popup, "summary") },
      { rows: [], summary: "此页中没有 thunder://、flashget:// 或 qqdl:// 链接。" });
  });
}

async function group_gbk() {
  const made = sample("gbk");
  const gbkPage = Buffer.concat([
    Buffer.from('<!doctype html><html><head><meta charset="gb2312"><title>'), gbk("中文"),
    Buffer.from("</title></head><body><p>"), gbk("中文电影 "),
    ...made.map((m) => Buffer.concat([Buffer.from(`<a href="${m.link}" title="`), gbk("电影"), Buffer.from('">'), gbk("中文"), Buffer.from("</a> ")])),
    Buffer.from("</p></body></html>"),
  ]);
  await withBrowser({ "/gbk.html": page(gbkPage, { type: "text/html; charset=gb2312" }) }, async (session, server) => {
    const tab = await visit(session, server.origin + "/gbk.html");
    expect("the page is read as GBK", await tab.title(), "中文");
    let popup = await openPopup(session, tab);
    expect("rows", await shownRows(popup), addressesOf(made));
    // Read as UTF-8, the GBK name's bytes are no UTF-8 and show as \xNN; the choice is kept.
    const before = await popup.evaluate(() => document.body.dataset.decoded);
    await popup.select("#charset", "utf8");
    await popup.waitForFunction((b) => document.body.dataset.decoded !== b, {}, before);
    const asUtf8 = await rows(popup);
    expect("GBK bytes read as UTF-8", asUtf8[1].address, String.raw`http://\xC0\xFD\xD7\xD3.cn/gbk/\xB5\xE7Ӱ.mkv`);
    await popup.close();
    popup = await openPopup(session, tab);
    expect("the charset is remembered", await popup.$eval("#charset", (s) => s.value), "utf8");
    expect("and used", (await rows(popup))[1].address, asUtf8[1].address);
    await popup.close();
    // The settings page shows the same choices and keeps what is changed there.
    const settings = await session.browser.newPage();
    await settings.goto(session.origin + "/options.html");
    await settings.waitForFunction(() => document.getElementById("charset").value === "utf8");
    await settings.select("#copy-as", "own");
    await settings.waitForFunction(() => document.getElementById("notice").textContent !== "");
    await settings.close();
    popup = await openPopup(session, tab);
    expect("the settings page's choice", await popup.$eval("#copy-as", (s) => s.value), "own");
  });
}

async function group_later() {
  const made = [...sample("later"), ...sample("later-field")];
  const script = `setTimeout(() => {
    for (const link of [${made.slice(0, 3).map((m) => hidden(m.link)).join(", ")}]) {
      const a = document.createElement("a"); a.href = link; a.textContent = "下载"; document.body.append(a);
    }
    ${made.slice(3).map((m, i) => `document.getElementById("box${i}").value = ${hidden(m.link)};`).join("\n")}
    document.body.dataset.added = "1";
  }, 200);`;
  const body = `<p>论坛</p>${made.slice(3).map((_, i) => `<input id="box${i}">`).join("")}<script>${script}</script>`;
  const other = sample("other");
  await withBrowser({
    "/later.html": page(html(body)),
    "/other.html": page(html(`<p>${other.map((m) => m.link).join(" ")}</p>`)),
  }, async (session, server) => {
    const tab = await visit(session, server.origin + "/later.html");
    await tab.waitForFunction(() => document.body.dataset.added === "1");
    // A reading begun on another tab is not this click's.
    await visit(session, server.origin + "/other.html");
    const worker = await background(session);
    const tabOf = (path) => worker.evaluate(async (url) => (await chrome.tabs.query({ url }))[0].id, server.origin + path);
    const start = async (path) => worker.evaluate((id) => startReading(id), await tabOf(path));
    await start("/other.html");
    // The document's links come first, then the current values of its fields.
    const popup = await openPopup(session, tab);
    check("the click began the reading", new URL(popup.url()).searchParams.has("reading"));
    expect("rows", await shownRows(popup), addressesOf(made));
    // The list tab, opened behind the popup, which would close if it lost the focus.
    const listed = session.browser.waitForTarget((t) => t.url().includes("/popup.html?tab="));
    await worker.evaluate((url) => chrome.tabs.create({ url, active: false }), `${session.origin}/popup.html?tab=${await tabOf("/later.html")}`);
    const list = await (await listed).asPage();
    // What the background gives for a reading, asked from `from`: whose page it is, or why none.
    const ask = async (from, token) => {
      const answer = await from.evaluate((t) => chrome.runtime.sendMessage({ type: "veltrun-reading", token: t }), token);
      return answer.ok ? (answer.text.includes(other[0].link) ? "other" : "later") : answer.error;
    };
    // Each case: what happens after a reading of later.html begins, and what asking for it gives.
    const cases = [
      ["its own", async (t) => [await ask(popup, t)], ["later"]],
      ["asked twice", async (t) => [await ask(popup, t), await ask(popup, t)], ["later", "no reading"]],
      ["a second click's replaces it", async (t) => { const next = await start("/later.html"); return [await ask(popup, t), await ask(popup, next)]; }, ["no reading", "later"]],
      ["a page in a tab asks", async (t) => [await ask(list, t), await ask(popup, t)], ["unknown type", "later"]],
      ["a forged token", async () => [await ask(popup, "00000000-0000-4000-8000-000000000000")], ["no reading"]],
      ["the tab navigated", async (t) => { await tab.goto(server.origin + "/other.html"); return [await ask(popup, t)]; }, ["no reading"]],
    ];
    for (const [name, act, wanted] of cases) expect(name, await act(await start("/later.html")), wanted);
  }, { dir: testBuild(CHROMIUM, scratch, { host_permissions: ["http://127.0.0.1/*"] }) });  // to find the tabs by address
}

async function group_large() {
  const { made, html: body } = largePage(5000);
  await withBrowser({ "/large.html": page(body) }, async (session, server) => {
    const tab = await visit(session, server.origin + "/large.html");
    const popup = await openPopup(session, tab, { timeout: 60000 });
    const summary = await textOf(popup, "summary");
    check(`the summary counts 5000 addresses: ${summary}`, summary.includes("5000 个地址"));
    expect("the popup lists the first rows", (await rows(popup)).length, 100);
    const opened = session.browser.waitForTarget((t) => t.url().includes("/popup.html?tab="));
    check("the popup offers the whole list in a tab", await popup.$eval("#open-tab-line", (p) => !p.hidden));
    await popup.click("#open-tab");
    const list = await (await opened).asPage();
    await finished(list, 60000);
    const got = await allRows(list, made.length);
    expect("the tab lists every address in page order", got.map((r) => r.address), made.map((m) => m.address));
  });
}

// --- hostile addresses ---------------------------------------------------------------------------

async function group_hostile() {
  const addresses = [
    'http://a/<img src=x onerror="document.title=\'pwned\'">.exe',
    "javascript:document.title='pwned'",
    "<script>document.title='pwned'</script>",
    "http://a/\x1b]0;pwned\x07\x1b[2J",
    "http://a/\u202egpj.exe",
  ];
  const links = addresses.map((a, i) => WRAP[SCHEMES[i % 3]](Buffer.from(a)));
  const decoy = WRAP.qqdl(Buffer.from("http://decoy/from-the-page's-script"));
  // The page's own script replaces outerHTML in its world (with a link its source does not
  // hold whole); the extension reads from a world of its own.
  const script = `Object.defineProperty(Element.prototype, "outerHTML", { get() { return "qq" + "${decoy.slice(2)}"; } });`;
  await withBrowser({ "/hostile.html": page(html(`<p>${links.join("<br>")}</p><script>${script}</script>`)) },
    async (session, server) => {
      const tab = await visit(session, server.origin + "/hostile.html");
      expect("the page cannot reach the extension", await tab.evaluate(() => typeof globalThis.chrome?.runtime?.sendMessage), "undefined");
      const popup = await openPopup(session, tab);
      const dialogs = [];
      popup.on("dialog", (d) => { dialogs.push(d.message()); d.dismiss(); });
      const got = await rows(popup);
      // The Whirlwind payload reads as no address: named, and shown as text, not as an address.
      expect("addresses, controls as \\xNN", got.map((r) => r.address), [
        addresses[0], addresses[1], null, String.raw`http://a/\x1B]0;pwned\x07\x1B[2J`,
        String.raw`http://a/\xE2\x80\xAEgpj.exe`,
      ]);
      expect("what is no address", [got[2].detail, got[2].reason !== null], [addresses[2], true]);
      const dom = await popup.evaluate(() => ({
        title: document.title,
        tags: [...new Set([...document.querySelectorAll("#rows *")].map((e) => e.tagName.toLowerCase()))].sort(),
        hrefs: [...document.querySelectorAll("a[href]")].map((a) => a.getAttribute("href")),
        text: document.body.textContent,
      }));
      check("nothing ran", !dom.title.includes("pwned") && dialogs.length === 0 && (await tab.title()) === "fixture");
      const own = ["a", "button", "code", "li", "p", "span"];
      check("only the rows' own elements: " + dom.tags, dom.tags.every((t) => own.includes(t)));
      check("no javascript: link: " + dom.hrefs, dom.hrefs.every((h) => /^(https?:|options\.html$)/.test(h)));
      check("no control or direction character is inserted", !/[\x00-\x08\x0b-\x1f\x7f\u202a-\u202e\u2066-\u2069]/.test(dom.text));
      check("the page's decoy is not read", !dom.text.includes("decoy"));
    });
}

// --- no request ----------------------------------------------------------------------------------

async function group_network() {
  const made = sample("network");
  const bait = WRAP.thunder(Buffer.from("http://127.0.0.1/bait.exe"));
  await withBrowser({ "/net.html": page(html(`${made.map((m) => `<a href="${m.link}">x</a>`).join("")}<p>${bait}</p>`)) },
    async (session, server) => {
      const requests = [];
      const record = (target) => (event) => requests.push({ target, url: event.request.url });
      const tab = await visit(session, server.origin + "/net.html");
      const popup = await openPopup(session, tab);
      // The popup again from its start, with the network log on this time.
      const cdp = await popup.createCDPSession();
      await cdp.send("Network.enable");
      cdp.on("Network.requestWillBeSent", record("popup"));
      await popup.reload();
      await finished(popup);
      expect("the popup lists the page again", (await rows(popup)).length, made.length + 1);
      // The background, through a context-menu entry that loads the core and copies.
      const workerCdp = await (await backgroundTarget(session)).createCDPSession();
      await workerCdp.send("Network.enable");
      workerCdp.on("Network.requestWillBeSent", record("background"));
      const result = await (await background(session)).evaluate((link) =>
        onMenuClicked({ menuItemId: "copy-real-address", linkUrl: link }, undefined), made[0].link);
      check("the menu copied: " + JSON.stringify(result), result.copied === true);
      check("the log saw the popup's own files", requests.some((r) => r.url.endsWith("/core/veltrun.wasm")));
      const foreign = requests.filter((r) => !r.url.startsWith(session.origin + "/"));
      expect("requests beyond the extension's own files", foreign, []);
      const served = server.log.filter((url) => url !== "/favicon.ico");
      expect("the fixture server saw the page only", served, ["/net.html"]);
    }, { dir: clipboardBuild() });
}

// --- the same bytes as the CLI -------------------------------------------------------------------

// A small seeded generator, so that a failure can be run again.
function random(seed) {
  return () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}

async function group_same_bytes() {
  const next = random(20261209);
  const pick = (list) => list[Math.floor(next() * list.length)];
  const pieces = [
    () => Buffer.from("file"), () => Buffer.from("电影"), () => gbk("中文"), () => gbk("例子"),
    () => Buffer.from([0x80 + Math.floor(next() * 0x7f)]), () => Buffer.from([Math.floor(next() * 0x20)]),
    () => Buffer.from(" "), () => Buffer.from("%E4%B8%AD"), () => Buffer.from("&amp;"),
  ];
  const links = [];
  for (let i = 0; i < 300; i++) {
    const parts = [Buffer.from(pick(["http://", "https://", "ftp://", "ed2k://|file|", "magnet:?xt="]) + `h${i}/`)];
    for (let n = 1 + Math.floor(next() * 4); n > 0; n--) parts.push(pick(pieces)());
    let link = WRAP[pick(SCHEMES)](Buffer.concat(parts));
    if (next() < 0.2) link = link.toUpperCase().slice(0, link.indexOf(":")) + link.slice(link.indexOf(":"));
    links.push(link);
  }
  const text = links.join("\n");
  const cli = (...args) => execFileSync(options.cli, ["--lenient", ...args], { input: text, maxBuffer: 1 << 26, stdio: ["pipe", "pipe", "ignore"] }).toString();
  const json = cli("--json").trim().split("\n").map((line) => JSON.parse(line));
  const shown = cli().split("\n").slice(0, -1);
  const wanted = json.map((r, i) => ({ address: shown[i], tags: [TAG[r.scheme], TAG[r.charset]], repairs: r.repairs }));
  expect("the CLI's records", json.length, links.length);
  await withBrowser({ "/same.html": page(html(`<pre>${text}</pre>`)) }, async (session, server) => {
    const tab = await visit(session, server.origin + "/same.html");
    const popup = await openPopup(session, tab);
    const opened = session.browser.waitForTarget((t) => t.url().includes("/popup.html?tab="));
    await popup.click("#open-tab");
    const list = await (await opened).asPage();
    await finished(list);
    const got = (await allRows(list, wanted.length)).map(({ address, tags, repairs }) => ({ address, tags, repairs }));
    expect("the extension's rows against veltrun --lenient --json", got, wanted);
  });
}

// --- languages, menus, keyboard ------------------------------------------------------------------

async function group_locales() {
  const made = sample("locales");
  const body = html(`<p>${made.map((m) => m.link).join(" ")}</p>`);
  const wanted = {
    "zh-CN": { title: "此页中的下载链接", copyAll: "复制全部地址", tag: "迅雷", menu: "复制真实地址", lang: "zh-CN" },
    "en-US": { title: "Download links in this page", copyAll: "Copy all addresses", tag: "Thunder", menu: "Copy the real address", lang: "en" },
  };
  for (const [lang, words] of Object.entries(wanted)) {
    await withBrowser({ "/l.html": page(body) }, async (session, server) => {
      const tab = await visit(session, server.origin + "/l.html");
      const popup = await openPopup(session, tab);
      const seen = await popup.evaluate(() => ({
        title: document.getElementById("title").textContent,
        copyAll: document.getElementById("copy-all").textContent,
        tag: document.querySelector("#rows .tag").textContent,
        lang: document.documentElement.lang,
      }));
      seen.menu = await (await background(session)).evaluate(() => chrome.i18n.getMessage("menuCopyAddress"));
      expect(lang, seen, { title: words.title, copyAll: words.copyAll, tag: words.tag, lang: words.lang, menu: words.menu });
    }, { lang });
  }
}

async function readClipboard(session) {
  const reader = await session.browser.newPage();
  await session.browser.defaultBrowserContext().overridePermissions(session.origin, ["clipboard-read", "clipboard-write"]);
  await reader.goto(session.origin + "/options.html");
  await reader.bringToFront();
  const got = await reader.evaluate(() => navigator.clipboard.readText());
  await reader.close();
  return got;
}

async function group_menus() {
  const film = WRAP.thunder(gbk("http://例子.cn/电影.mkv"));
  const other = WRAP.qqdl(Buffer.from("http://dl.example.com/a b.zip"));
  await withBrowser({ "/m.html": page(html("<p>menus</p>")) }, async (session, server) => {
    const tab = await visit(session, server.origin + "/m.html");
    const worker = await background(session);
    const click = (info) => worker.evaluate(async (i) => {
      const [tab] = await chrome.tabs.query({ url: "http://127.0.0.1/*" });
      return onMenuClicked(i, tab);
    }, info);
    // "Copy the real address" on a link: the address, in the form chosen in the settings.
    expect("copied", await click({ menuItemId: "copy-real-address", linkUrl: film }), { copied: true, text: "http://例子.cn/电影.mkv" });
    expect("on the clipboard", await readClipboard(session), "http://例子.cn/电影.mkv");
    await worker.evaluate(() => chrome.storage.local.set({ settings: { copyAs: "own" } }));
    expect("copied as the link's own bytes", (await click({ menuItemId: "copy-real-address", linkUrl: film })).text,
      "http://%C0%FD%D7%D3.cn/%B5%E7%D3%B0.mkv");
    // A link that gives no address, and a selection, open the list in a tab beside the page.
    for (const [info, wanted] of [
      [{ menuItemId: "copy-real-address", linkUrl: "thunder://!!!" }, [{ address: null, reason: "链接中没有地址" }]],
      [{ menuItemId: "decode-selection", selectionText: `电影 ${film} 和 ${other}` },
        [{ address: "http://例子.cn/电影.mkv", reason: null }, { address: "http://dl.example.com/a b.zip", reason: null }]],
    ]) {
      const opened = session.browser.waitForTarget((t) => t.url().startsWith(session.origin + "/popup.html?selection="));
      expect("the list opens", await click(info), { opened: true });
      const list = await (await opened).asPage();
      await finished(list);
      expect("the list", (await rows(list)).map(({ address, reason }) => ({ address, reason })), wanted);
      await list.close();
    }
  }, { dir: clipboardBuild() });
}

async function group_keyboard() {
  const made = sample("keys");
  const capital = "QQDL://" + WRAP.qqdl(Buffer.from("http://dl.example.com/caps.zip")).slice("qqdl://".length);
  await withBrowser({ "/k.html": page(html(`<p>${made.map((m) => m.link).join(" ")} ${capital}</p>`)) }, async (session, server) => {
    const tab = await visit(session, server.origin + "/k.html");
    const popup = await openPopup(session, tab);
    // Every control has a name a screen reader reads.
    const snapshot = await popup.accessibility.snapshot();
    const unnamed = [];
    const walk = (node) => {
      if (["button", "checkbox", "combobox", "link", "textbox"].includes(node.role) && !node.name?.trim()) unnamed.push(node.role);
      (node.children ?? []).forEach(walk);
    };
    walk(snapshot);
    expect("controls without a name", unnamed, []);
    // Tab reaches each control in order; Space switches strict mode on.
    const order = [];
    for (let i = 0; i < 8; i++) {
      await popup.keyboard.press("Tab");
      order.push(await popup.evaluate(() => document.activeElement.id || document.activeElement.className));
    }
    expect("focus order", order, ["options", "site", "strict", "charset", "copy-as", "copy-all", "address", "copy"]);
    await popup.keyboard.down("Shift");
    for (let i = 0; i < 5; i++) await popup.keyboard.press("Tab");
    await popup.keyboard.up("Shift");
    expect("back on strict", await popup.evaluate(() => document.activeElement.id), "strict");
    expect("repair mode reads the capital scheme", (await rows(popup)).length, made.length + 1);
    const before = await popup.evaluate(() => document.body.dataset.decoded);
    await popup.keyboard.press("Space");
    await popup.waitForFunction((b) => document.body.dataset.decoded !== b, {}, before);
    expect("strict mode does not", (await rows(popup)).length, made.length);
    const summary = await textOf(popup, "summary");
    check("and says repair mode finds one more: " + summary, summary.includes("修复模式还能再找到 1 个链接，需修复：协议名大小写"));
  });
}

// Nothing warns at install; where the clipboard permission is not granted, "copy the real
// address" lists the address in a tab instead.
async function group_permissions() {
  const film = WRAP.flashget(Buffer.from("http://例子.cn/电影.mkv"));
  await withBrowser({ "/p.html": page(html("<p>permissions</p>")) }, async (session, server) => {
    const tab = await visit(session, server.origin + "/p.html");
    const manifest = fs.readFileSync(path.join(CHROMIUM, "manifest.json"), "utf8");
    const options = await session.browser.newPage();
    await options.goto(session.origin + "/options.html");
    expect("install warnings", await options.evaluate((m) => chrome.management.getPermissionWarningsByManifest(m), manifest), []);
    const worker = await background(session);
    const opened = session.browser.waitForTarget((t) => t.url().startsWith(session.origin + "/popup.html?selection="));
    expect("without the permission", await worker.evaluate((link) =>
      onMenuClicked({ menuItemId: "copy-real-address", linkUrl: link }, undefined), film), { opened: true });
    const list = await (await opened).asPage();
    await finished(list);
    expect("the list offers the address", (await rows(list)).map((r) => r.address), ["http://例子.cn/电影.mkv"]);
  });
}

export const GROUPS = {
  permissions: group_permissions,
  places: group_places, csp: group_csp, gbk: group_gbk, later: group_later, large: group_large,
  hostile: group_hostile, network: group_network, same_bytes: group_same_bytes, locales: group_locales,
  menus: group_menus, keyboard: group_keyboard,
};

await runGroups(GROUPS, options.group, scratch);
