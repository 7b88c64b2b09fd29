// The chosen-site markers and the aria2 hand-off, in Debian's Chromium over the DevTools
// protocol, against pages from a fixture server on 127.0.0.1; one ctest test per group.
// Turning a site on asks for its host permission, which a headless browser cannot grant from a
// prompt: these tests load a copy of the extension whose manifest grants http://127.0.0.1/*,
// so the request is answered at once, as after a user's "allow".
//   node site_tests.mjs --extension build/extension --tools DIR --group NAME
import { spawn } from "node:child_process";
import fs from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import crypto from "node:crypto";
import { parseArgs } from "node:util";
import {
  Failure, SCHEMES, WRAP, backgroundTarget, check, expect, gbk, launchChromium, openPopup,
  puppeteerFrom, runGroups, startServer, testBuild, textOf, visit, withChromium,
} from "./harness.mjs";

const { values: options } = parseArgs({
  options: { extension: { type: "string" }, tools: { type: "string" }, group: { type: "string" } },
});
const puppeteer = puppeteerFrom(options.tools);
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "veltrun-sites-"));
const BUILD = testBuild(path.join(options.extension, "chromium"), scratch, { host_permissions: ["http://127.0.0.1/*"] });

const html = (body, head = "") =>
  `<!doctype html><html><head><meta charset="utf-8"><title>fixture</title>${head}</head><body>${body}</body></html>`;
const page = (body, extra = {}) => ({ body: Buffer.from(body), ...extra });
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

const withBrowser = (pages, test) => withChromium(puppeteer, BUILD, pages, test, { scratch });

// The settings page, where a test asks the extension's APIs what a user cannot see.
async function settingsPage(session) {
  const settings = await session.browser.newPage();
  await settings.goto(session.origin + "/options.html");
  await settings.waitForFunction(() => document.body.dataset.ready === "1");
  return settings;
}

// Flips the popup's "show real addresses on this site" switch for `tab`'s site with a click,
// as a user does, and waits for the popup to say what happened.
async function flipSite(session, tab) {
  const popup = await openPopup(session, tab);
  await popup.waitForSelector("#site-line:not([hidden])");
  const before = await textOf(popup, "notice");
  await popup.click("#site");
  await popup.waitForFunction((b) => document.getElementById("notice").textContent !== b, {}, before);
  const said = await textOf(popup, "notice");
  await popup.close();
  return said;
}

// Every marker in `tab` (frames and closed shadow roots included), in document order, read over
// the DevTools protocol since no script of the page can read them: what precedes it, and its
// rows.
async function markers(tab) {
  const cdp = await tab.createCDPSession();
  try {
    const { root } = await cdp.send("DOM.getDocument", { depth: -1, pierce: true });
    const found = [];
    const textIn = (node) => (node.nodeType === 3 ? node.nodeValue : (node.children ?? []).map(textIn).join(""));
    const cls = (node) => {
      const a = node.attributes ?? [];
      const i = a.indexOf("class");
      return i >= 0 ? a[i + 1] : "";
    };
    const inShadow = (node, out) => {
      if (node.nodeType === 1) out.push(node);
      for (const child of node.children ?? []) inShadow(child, out);
    };
    const walk = (node, previous) => {
      if (node.localName === "veltrun-mark") {
        const all = [];
        for (const shadow of node.shadowRoots ?? []) inShadow(shadow, all);
        found.push({
          after: previous ? (previous.nodeType === 3 ? "#text" : previous.localName) : null,
          host: node,
          shadowTypes: (node.shadowRoots ?? []).map((s) => s.shadowRootType),
          elements: all,
          rows: all.filter((e) => cls(e) === "row").map((row) => {
            const parts = [];
            inShadow(row, parts);
            const textOf = (name) => {
              const part = parts.find((e) => cls(e) === name);
              return part ? textIn(part) : null;
            };
            return {
              tags: parts.filter((e) => cls(e) === "tag").map(textIn),
              address: textOf("address"),
              reason: textOf("reason"),
              detail: textOf("detail"),
              buttons: parts.filter((e) => e.localName === "button").map((e) => ({ cls: cls(e), text: textIn(e), id: e.backendNodeId })),
              notice: textOf("notice"),
            };
          }),
        });
      }
      if (node.localName !== "veltrun-mark") for (const shadow of node.shadowRoots ?? []) walk(shadow, null);
      let before = null;
      for (const child of node.children ?? []) {
        walk(child, before);
        if (child.localName !== "veltrun-mark") before = child;
      }
      if (node.contentDocument) walk(node.contentDocument, null);
    };
    walk(root, null);
    return found;
  } finally {
    await cdp.detach();
  }
}

async function waitForMarkers(tab, count, timeout = 15000) {
  const end = Date.now() + timeout;
  for (;;) {
    const found = await markers(tab);
    const rows = found.reduce((n, m) => n + m.rows.length, 0);
    if (rows >= count) return found;
    if (Date.now() > end) throw new Failure(`${rows} marked links, wanted ${count}`);
    await sleep(100);
  }
}

// A trusted click in the middle of a node of a closed shadow root.
async function clickNode(tab, backendNodeId) {
  const cdp = await tab.createCDPSession();
  try {
    await cdp.send("DOM.scrollIntoViewIfNeeded", { backendNodeId });
    const { model } = await cdp.send("DOM.getBoxModel", { backendNodeId });
    const [x1, y1, x2, , , y3] = model.content;
    await tab.mouse.click((x1 + x2) / 2, (y1 + y3) / 2);
  } finally {
    await cdp.detach();
  }
}

// --- markers -----------------------------------------------------------------------------------

const TAG = { thunder: "迅雷", flashget: "快车", qqdl: "旋风", gbk: "GBK", utf8: "UTF-8" };
const NAMES = [
  [(p) => Buffer.from(`http://dl.example.com/${p}/setup.exe`), (p) => `http://dl.example.com/${p}/setup.exe`, "utf8"],
  [(p) => gbk(`http://例子.cn/${p}/电影.mkv`), (p) => `http://例子.cn/${p}/电影.mkv`, "gbk"],
  [(p) => Buffer.from(`http://例子.cn/${p}/电影.mkv`), (p) => `http://例子.cn/${p}/电影.mkv`, "utf8"],
];
// One link per scheme at each place, each with another kind of name.
const linksAt = (place) => SCHEMES.map((scheme, i) => ({
  link: WRAP[scheme](NAMES[i][0](place)), address: NAMES[i][1](place), tags: [TAG[scheme], TAG[NAMES[i][2]]],
}));

// A script's text that makes `link` without holding it whole.
const split = (link) => `"${link.slice(0, 4)}" + "${link.slice(4)}"`;

// Where pages put links, what each marker should follow, and the page's markup for it. The popup
// reads the same places.
const PLACES = [
  ["href", "a", (l) => l.map((x) => `<a href="${x.link}">下载</a>`).join(" ")],
  ["attribute", "span", (l) => l.map((x, i) => `<span zq${i}x="${x.link}">高速下载</span>`).join(" ")],
  ["thunderhref", "a", (l) => l.map((x) => `<a href="#" thunderHref="${x.link}">迅雷下载</a>`).join(" ")],
  ["copy-box", "input", (l) => l.map((x) => `<input readonly value="${x.link}">`).join("")],
  ["textarea", "textarea", (l) => l.map((x) => `<textarea>${x.link}</textarea>`).join("")],
  ["hidden", "input", (l) => l.map((x) => `<input type="hidden" value="${x.link}">`).join("")],
  ["onclick", "button", (l) => l.map((x) => `<button onclick="return dl('${x.link}')">下载</button>`).join("")],
  ["script", "script", (l) => l.map((x) => `<script>var downurl="第01集$${x.link}#";</script>`).join("")],
  ["text", "#text", (l) => l.map((x) => `<p>地址：${x.link}</p>`).join("")],
  ["shadow", "a", (l) => `<span></span><script>document.currentScript.previousElementSibling.attachShadow({ mode: "open" })
    .innerHTML = ${l.map((x) => `'<a href="' + ${split(x.link)} + '">下载</a>'`).join(" + ")};</script>`],
  // Set by a script whose text does not hold the link whole.
  ["field-value", "input", (l) => l.map((x, i) =>
    `<input id="v${i}"><script>v${i}.value = ${split(x.link)};</script>`).join("")],
];
// The page's own style, which tries every way a style sheet has to hide or change a marker (and
// hides the links themselves, though not the boxes that hold the markers).
const HOSTILE_STYLE = `<style>
  veltrun-mark, :not(html, body, div, p, iframe) { display: none !important; visibility: hidden !important; opacity: 0 !important;
    font-size: 0 !important; color: transparent !important; width: 0 !important; height: 0 !important;
    overflow: hidden !important; position: absolute !important; left: -9999px !important; }
</style>`;

async function group_marks() {
  const later = linksAt("later");
  const frame = linksAt("frame");
  const body = PLACES.map(([place, , write]) => `<div>${write(linksAt(place))}</div>`).join("\n") +
    `<div id="later"></div><iframe src="/frame.html"></iframe>
     <script>setTimeout(() => {
       const box = document.getElementById("later");
       const a = document.createElement("a"); a.href = ${split(later[0].link)}; a.textContent = "新"; box.append(a);
       box.append(Object.assign(document.createElement("p"), { textContent: ${split(later[1].link)} }));
       box.setAttribute("data-url", ${split(later[2].link)});
     }, 1500);</script>`;
  await withBrowser({
    "/places.html": page(html(body, HOSTILE_STYLE)),
    "/frame.html": page(html(`<p>${frame.map((x) => x.link).join("<br>")}</p>`)),
  }, async (session, server) => {
    const tab = await visit(session, server.origin + "/places.html");
    const requests = [];
    const cdp = await tab.createCDPSession();
    await cdp.send("Network.enable");
    cdp.on("Network.requestWillBeSent", (e) => requests.push(e.request.url));
    expect("the popup says the site is on", await flipSite(session, tab), "此网站的每个下载链接旁会显示真实地址。");
    const placed = PLACES.map(([place]) => linksAt(place));
    const wanted = [...placed.flat(), ...later, ...frame].map(({ address, tags }) => ({ address, tags }));
    const found = await waitForMarkers(tab, wanted.length);
    // In document order: the page's places, the links it added later, then the frame's.
    const got = found.flatMap((m) => m.rows.map(({ address, tags }) => ({ address, tags })));
    const order = (list) => list.slice().sort((a, b) => (a.address + a.tags).localeCompare(b.address + b.tags));
    expect("every link is marked once", order(got), order(wanted));
    expect("in page order", got.slice(0, placed.flat().length), wanted.slice(0, placed.flat().length));
    const afters = PLACES.flatMap(([, after], i) => placed[i].map(() => after));
    expect("each marker stands beside its link", found.slice(0, afters.length).map((m) => m.after), afters);
    check("closed shadow roots", found.every((m) => m.shadowTypes.join() === "closed"));
    check("each marker offers Copy", found.every((m) => m.rows.every((r) => r.buttons.some((b) => b.cls === "copy" && b.text === "复制"))));
    // The page's style sheet cannot hide or restyle a marker.
    const looks = await tab.evaluate(() => [...document.querySelectorAll("veltrun-mark")].map((host) => {
      host.scrollIntoView();
      const style = getComputedStyle(host);
      const box = host.getBoundingClientRect();
      const shown = style.display === "inline-block" && style.visibility === "visible" && style.opacity === "1" &&
        style.position === "static" && box.width > 50 && box.height > 10 && box.left >= 0;
      return shown || [style.display, style.visibility, style.opacity, style.position, box.width, box.height, box.left].join();
    }));
    expect("markers hidden or restyled", looks.filter((shown) => shown !== true), []);
    const address = found[0].host.backendNodeId;
    const model = await cdp.send("DOM.getBoxModel", { backendNodeId: address });
    check("the marker takes room on the page", model.model.width > 50);
    // The page's own world cannot reach a marker's contents.
    const reach = await tab.evaluate(() => {
      const host = document.querySelector("veltrun-mark");
      return { shadow: host.shadowRoot, html: host.innerHTML, text: document.body.innerText.includes("dl.example.com") };
    });
    expect("the page's view of a marker", reach, { shadow: null, html: "", text: false });
    // A marker's Copy, pressed as a user does.
    await tab.bringToFront();
    await cdp.send("Emulation.setFocusEmulationEnabled", { enabled: true });
    await session.browser.defaultBrowserContext().overridePermissions(server.origin, ["clipboard-read", "clipboard-write"]);
    const gbkMark = found.find((m) => m.rows[0].tags.includes("GBK"));
    await clickNode(tab, gbkMark.rows[0].buttons.find((b) => b.cls === "copy").id);
    for (let i = 0; (await markers(tab)).find((m) => m.host.backendNodeId === gbkMark.host.backendNodeId).rows[0].notice !== "已复制。"; i++) {
      if (i > 50) throw new Failure("the marker did not say it copied: " + JSON.stringify((await markers(tab)).find((m) => m.host.backendNodeId === gbkMark.host.backendNodeId).rows));
      await sleep(100);
    }
    expect("Copy copies the address", await tab.evaluate(() => navigator.clipboard.readText()), gbkMark.rows[0].address);
    const foreign = requests.filter((url) => !url.startsWith(server.origin + "/"));
    expect("requests beyond the fixture server", foreign, []);
    // Off from the settings page's list of sites.
    const settings = await settingsPage(session);
    await settings.click("#sites .site-off");
    await settings.waitForFunction(() => document.getElementById("sites-notice").textContent !== "");
    expect("the settings list no site", await settings.$eval("#no-sites", (p) => !p.hidden), true);
    expect("no marker left", (await markers(tab)).length, 0);
  });
}

// The option that points links at their real address, its undo, and turning the site off; a
// page without links on the same site is not changed at all.
async function group_rewrite() {
  const made = linksAt("rewrite");
  // Markers vouch for it, so it is marked; it is no address to open, so its href stays.
  const script = WRAP.thunder(Buffer.from("javascript:alert(1)"));
  const body = `${made.map((x) => `<a href="${x.link}">下载</a>`).join(" ")} <a href="${script}">脚本</a>`;
  const watch = `<script>
    window.changes = [];
    new MutationObserver((records) => changes.push(...records.map((r) => r.type + ":" + r.target.nodeName)))
      .observe(document, { subtree: true, childList: true, attributes: true, characterData: true });
    window.addLink = (link) => document.body.append(Object.assign(document.createElement("a"), { href: link, textContent: "x" }));
  </script>`;
  await withBrowser({
    "/links.html": page(html(body)),
    "/empty.html": page(html(`<p>没有链接的页面</p>${watch}`)),
  }, async (session, server) => {
    const settings = await settingsPage(session);
    await settings.click("#rewrite");
    await settings.waitForFunction(() => document.getElementById("notice").textContent !== "");
    const empty = await visit(session, server.origin + "/empty.html");
    const emptyBefore = await empty.evaluate(() => document.documentElement.outerHTML);
    const tab = await visit(session, server.origin + "/links.html");
    await flipSite(session, tab);
    await waitForMarkers(tab, made.length + 1);
    await settings.reload();
    await settings.waitForFunction(() => document.body.dataset.ready === "1");
    expect("the settings list the site", await settings.$$eval("#sites .site-name", (s) => s.map((n) => n.textContent)), ["http://127.0.0.1"]);
    const hrefs = () => tab.evaluate(() => [...document.querySelectorAll("a")].map((a) => [a.getAttribute("href"), a.dataset.veltrunHref ?? null]));
    const links = made.map((x) => x.link);
    expect("openable links point at the address; the original is kept",
      await hrefs(), [...made.map((x, i) => [encodeURI(x.address), links[i]]), [script, null]]);
    // The page without links: the script runs there too (a link it adds later is marked), yet
    // nothing changed before.
    await sleep(500);
    expect("a page without links is not changed", await empty.evaluate(() => window.changes), []);
    expect("its markup", await empty.evaluate(() => document.documentElement.outerHTML), emptyBefore);
    await empty.evaluate((link) => window.addLink(link), made[0].link);
    await waitForMarkers(empty, 1);
    // What a content script in the tab may ask, by shape, and later by site.
    const ask = (message) => settings.evaluate(async (m) => {
      const [tab] = await chrome.tabs.query({ url: "http://127.0.0.1/links.html*" });
      const [{ result }] = await chrome.scripting.executeScript({
        target: { tabId: tab.id }, args: [m],
        func: (sent) => chrome.runtime.sendMessage(sent).then((answer) => JSON.stringify(answer ?? null), (e) => "refused: " + e.message),
      });
      return result;
    }, message);
    const well = { type: "veltrun-find", pieces: [made[0].link] };
    check("a well-formed message is answered", (await ask(well)).includes(made[0].address));
    for (const bad of [{ type: "veltrun-find", pieces: made[0].link }, { type: "veltrun-find", pieces: [1] }, { type: "find", pieces: [] }, ["veltrun-hello"]]) {
      expect("an ill-formed message gets no answer: " + JSON.stringify(bad), await ask(bad), "null");
    }
    // Off: the markers go, the links are given back, and a new visit is left alone.
    expect("the popup says the site is off", await flipSite(session, tab), "已在此网站关闭，标记已移除。");
    expect("no marker", (await markers(tab)).length, 0);
    expect("the links are given back", await hrefs(), [...links, script].map((l) => [l, null]));
    expect("no marker on the other page", (await markers(empty)).length, 0);
    expect("a site turned off is answered nothing", await ask(well), "null");
    expect("no script registered", await settings.evaluate(() => chrome.scripting.getRegisteredContentScripts()), []);
    await settings.reload();
    await settings.waitForFunction(() => document.body.dataset.ready === "1");
    check("the settings list no site", await settings.$eval("#no-sites", (p) => !p.hidden));
    await tab.reload({ waitUntil: "load" });
    await sleep(500);
    expect("no marker after a reload", (await markers(tab)).length, 0);
  });
}

// --- hostile addresses -------------------------------------------------------------------------

async function group_hostile() {
  const addresses = [
    'http://a/<img src=x onerror="document.title=\'pwned\'">.exe',
    "javascript:document.title='pwned'",
    "<script>document.title='pwned'</script>",
    "http://a/\x1b]0;pwned\x07\x1b[2J",
    "http://a/\u202egpj.exe",
  ];
  const links = addresses.map((a, i) => WRAP[SCHEMES[i % 3]](Buffer.from(a)));
  // The page hooks attachShadow before anything else runs, and later tries to read and to
  // overwrite the markers.
  const hooks = `<script>
    window.captured = [];
    const attach = Element.prototype.attachShadow;
    Element.prototype.attachShadow = function (init) { captured.push(init); return attach.call(this, { ...init, mode: "open" }); };
  </script>`;
  // The page's own element named as a marker does not hide the link it holds.
  const named = `<veltrun-mark data-u="${links[0]}"></veltrun-mark>`;
  await withBrowser({ "/hostile.html": page(html(`${hooks}<p>${links.join("<br>")}</p><p><a href="${links[1]}">go</a></p>${named}`)) },
    async (session, server) => {
      const tab = await visit(session, server.origin + "/hostile.html");
      const dialogs = [];
      tab.on("dialog", (d) => { dialogs.push(d.message()); d.dismiss(); });
      await flipSite(session, tab);
      const found = (await waitForMarkers(tab, addresses.length + 2)).filter((m) => m.rows.length > 0);
      const shown = found.flatMap((m) => m.rows.map((r) => r.address));
      // The Whirlwind payload reads as no address: its marker names it, shown as text.
      expect("addresses as text, controls as \\xNN", shown, [
        addresses[0], addresses[1], null, String.raw`http://a/\x1B]0;pwned\x07\x1B[2J`,
        String.raw`http://a/\xE2\x80\xAEgpj.exe`, addresses[1], addresses[0],
      ]);
      expect("what is no address, named and not offered",
        found.flatMap((m) => m.rows).filter((r) => r.address === null).map((r) => [r.reason !== null, r.detail, r.buttons.length]),
        [[true, addresses[2], 0]]);
      const tags = new Set(found.flatMap((m) => m.elements.map((e) => e.localName)));
      expect("only the marker's own elements", [...tags].sort(), ["button", "span"]);
      check("no control or direction character", !shown.some((s) => /[\x00-\x1f\x7f\u202a-\u202e\u2066-\u2069]/.test(s)));
      const attempt = await tab.evaluate(() => {
        const host = document.querySelector("veltrun-mark");
        const seen = { captured: window.captured.length, shadow: host.shadowRoot === null };
        try {
          host.attachShadow({ mode: "open" });
          seen.attached = true;
        } catch {
          seen.attached = false;
        }
        host.textContent = "FAKE ADDRESS";
        host.dispatchEvent(new MouseEvent("click", { bubbles: true, composed: true }));
        return seen;
      });
      expect("the page's attempts", attempt, { captured: 0, shadow: true, attached: false });
      const after = await markers(tab);
      expect("the marker still shows its own address", after[0].rows[0].address, addresses[0]);
      const snapshot = JSON.stringify(await tab.accessibility.snapshot());
      check("the page's text is not shown in the marker", !snapshot.includes("FAKE ADDRESS") && snapshot.includes("http://a/"));
      check("nothing ran: " + dialogs, dialogs.length === 0 && (await tab.title()) === "fixture");
      expect("the javascript: link keeps its href", await tab.$eval("a", (a) => a.getAttribute("href")), links[1]);
    });
}

// --- aria2 ------------------------------------------------------------------------------------

function freePort() {
  return new Promise((resolve, reject) => {
    const probe = net.createServer().listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    }).on("error", reject);
  });
}

// aria2c with its RPC on 127.0.0.1 at a free port, downloading into `dir`; always stopped by
// the caller's finally (and by the process's exit).
async function startAria2(dir, secret) {
  const port = await freePort();
  const child = spawn("aria2c", [
    "--enable-rpc", `--rpc-listen-port=${port}`, `--rpc-secret=${secret}`, "--rpc-listen-all=false", "--no-conf",
    `--dir=${dir}`, "--quiet", "--disable-ipv6", "--max-tries=1", "--allow-overwrite=true", "--auto-file-renaming=false",
  ], { stdio: "ignore" });
  const kill = () => child.kill("SIGKILL");
  process.once("exit", kill);
  const address = `http://127.0.0.1:${port}/jsonrpc`;
  const stop = async () => {
    if (child.exitCode !== null || child.signalCode !== null) return;
    const gone = new Promise((r) => child.once("exit", r));
    kill();
    await gone;
  };
  for (let i = 0; ; i++) {
    try {
      const answer = await fetch(address, { method: "POST", body: JSON.stringify({ jsonrpc: "2.0", id: "up", method: "aria2.getVersion", params: ["token:" + secret] }) });
      if ((await answer.json()).result) break;
    } catch {}
    if (i > 100) {
      await stop();
      throw new Failure("aria2c did not start");
    }
    await sleep(50);
  }
  return { address, stop };
}

async function saveAria2(session, address, secret) {
  const settings = await settingsPage(session);
  await settings.$eval("#aria2-address", (box) => { box.value = ""; });
  await settings.type("#aria2-address", address);
  await settings.type("#aria2-secret", secret);
  await settings.click("#aria2-save");
  await settings.waitForFunction(() => document.getElementById("aria2-notice").textContent !== "");
  const said = await textOf(settings, "aria2-notice");
  const shown = await settings.evaluate(() => document.body.innerHTML + [...document.querySelectorAll("input")].map((i) => i.value).join());
  await settings.close();
  return { said, shown };
}

async function group_aria2() {
  const dir = fs.mkdtempSync(path.join(scratch, "downloads-"));
  const secret = crypto.randomBytes(12).toString("hex");
  const files = { gbk: crypto.randomBytes(3000), utf8: crypto.randomBytes(5000) };
  // The server's pages are added once its port, which the links hold, is known.
  const pages = new Map();
  const server = await startServer(pages, { maxRequests: 50 });
  let aria2 = null;
  try {
    aria2 = await startAria2(dir, secret);
    const base = server.origin + "/files/";
    const made = [
      { link: WRAP.thunder(Buffer.concat([Buffer.from(base), gbk("例子.bin")])), path: "/files/%C0%FD%D7%D3.bin", body: files.gbk },
      { link: WRAP.qqdl(Buffer.from(base + "电影.bin")), path: "/files/%E7%94%B5%E5%BD%B1.bin", body: files.utf8 },
    ];
    // And one that aria2 refuses.
    const refused = WRAP.flashget(Buffer.from("mailto:dl@example.com"));
    pages.set("/dl.html", page(html(`<p>${made.map((m) => `<a href="${m.link}">下载</a>`).join(" ")} ${refused}</p>`)));
    for (const m of made) pages.set(m.path, { body: m.body, type: "application/octet-stream" });
    {
      const session = await launchChromium(puppeteer, BUILD, { scratch });
      try {
        const requests = [];
        const log = (cdp) => cdp.on("Network.requestWillBeSent", (e) => requests.push(e.request.url));
        const workerCdp = await (await backgroundTarget(session)).createCDPSession();
        await workerCdp.send("Network.enable");
        log(workerCdp);
        const saved = await saveAria2(session, aria2.address, secret);
        expect("saved", saved.said, "已保存。");
        check("the secret is not in the settings page", !saved.shown.includes(secret));
        const tab = await visit(session, server.origin + "/dl.html");
        const tabCdp = await tab.createCDPSession();
        await tabCdp.send("Network.enable");
        log(tabCdp);
        // The first file from a popup row, the second from its marker on the page.
        const popup = await openPopup(session, tab);
        const popupCdp = await popup.createCDPSession();
        await popupCdp.send("Network.enable");
        log(popupCdp);
        const sendButtons = await popup.$$("#rows .send");
        expect("a send button per row", sendButtons.length, 3);
        check("and one for all", await popup.$eval("#send-all", (b) => !b.hidden && b.textContent === "全部发送到 aria2"));
        await sendButtons[0].click();
        await popup.waitForFunction(() => /aria2/.test(document.getElementById("notice").textContent) && !/正在/.test(document.getElementById("notice").textContent));
        expect("aria2's answer", await textOf(popup, "notice"), "aria2 已接收 1 个下载。");
        await sendButtons[2].click();
        await popup.waitForFunction(() => document.getElementById("notice").textContent.includes("拒绝"));
        expect("aria2's refusal", await textOf(popup, "notice"), "aria2 拒绝了这个下载：No URI to download.");
        await popup.click("#site");
        await popup.waitForFunction(() => document.getElementById("notice").textContent.includes("真实地址"));
        await popup.close();
        const found = await waitForMarkers(tab, 3);
        const send = found[1].rows[0].buttons.find((b) => b.cls === "send");
        expect("the marker offers aria2", send?.text, "发送到 aria2");
        await clickNode(tab, send.id);
        const end = Date.now() + 10000;
        const arrived = () => fs.readdirSync(dir).filter((n) => !n.endsWith(".aria2")).map((n) => fs.readFileSync(path.join(dir, n)));
        while (arrived().length < 2 || (await markers(tab))[1].rows[0].notice === "正在发送到 aria2……") {
          if (Date.now() > end) throw new Failure("the downloads did not arrive: " + fs.readdirSync(dir) + JSON.stringify((await markers(tab)).map((m) => m.rows)));
          await sleep(100);
        }
        expect("the marker's notice", (await markers(tab))[1].rows[0].notice, "aria2 已接收 1 个下载。");
        await waitFor(() => arrived().length === 2 && !fs.readdirSync(dir).some((n) => n.endsWith(".aria2")));
        const got = arrived().map((b) => b.toString("hex")).sort();
        expect("each file arrived with its bytes", got, [files.gbk, files.utf8].map((b) => b.toString("hex")).sort());
        expect("aria2 asked for the link's own bytes", server.log.filter((u) => u.startsWith("/files/")).sort(), made.map((m) => m.path).sort());
        // A wrong secret, then aria2 stopped: each says so.
        await saveAria2(session, aria2.address, "wrong-" + secret);
        const again = await openPopup(session, tab);
        await again.click("#send-all");
        await again.waitForFunction(() => /密钥/.test(document.getElementById("notice").textContent));
        expect("wrong secret", await textOf(again, "notice"), "aria2 拒绝了请求：RPC 密钥不对，请在设置中修改。");
        await aria2.stop();
        const [row] = await again.$$("#rows .send");
        await row.click();
        await again.waitForFunction(() => /没有运行/.test(document.getElementById("notice").textContent));
        expect("aria2 stopped", await textOf(again, "notice"), "无法连接 aria2：它没有运行，或设置中的 RPC 地址不对。");
        const foreign = requests.filter((url) => !url.startsWith(session.origin + "/") &&
          !url.startsWith(server.origin + "/dl.html") && url !== server.origin + "/favicon.ico" && url !== aria2.address);
        expect("requests beyond the extension, the page and aria2", foreign, []);
        check("the log saw the RPC requests", requests.includes(aria2.address));
      } finally {
        await session.browser.close();
      }
    }
  } finally {
    await aria2?.stop();
    await server.stop();
  }
}

async function waitFor(condition, timeout = 10000) {
  const end = Date.now() + timeout;
  while (!condition()) {
    if (Date.now() > end) throw new Failure("timed out");
    await sleep(100);
  }
}

export const GROUPS = { marks: group_marks, rewrite: group_rewrite, hostile: group_hostile, aria2: group_aria2 };

await runGroups(GROUPS, options.group, scratch);
