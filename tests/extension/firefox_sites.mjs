// The chosen-site markers in Firefox ESR, over WebDriver BiDi, in a build without context menus
// (as on Firefox for Android): the list tab's switch turns the fixture page's site on, each link
// gets a marker whose closed shadow root is drawn with its own style, a spy page that defines
// every dashed tag it saw reaches none of them after a reload, a marker's "send to aria2" asks in
// the list tab, and turning the site off takes them away. BiDi reaches no closed shadow root, so the markers' words are read in Chromium only
// (site_tests.mjs); here a marker is what the page sees of one: an empty span drawn wide. As
// there, the test build's manifest grants http://127.0.0.1/*, which answers the permission
// request at once.
//   node firefox_sites.mjs --extension build/extension --tools DIR
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { parseArgs } from "node:util";
import {
  SCHEMES, WRAP, check, expect, gbk, launchFirefox, openFirefoxList, puppeteerFrom, runGroups,
  startServer, until,
} from "./harness.mjs";

const { values: options } = parseArgs({ options: { extension: { type: "string" }, tools: { type: "string" } } });
const puppeteer = puppeteerFrom(options.tools);

async function run(scratch) {
  const links = SCHEMES.map((scheme, i) => WRAP[scheme](i === 1 ? gbk("http://例子.cn/电影.mkv") : Buffer.from(`http://dl.example.com/${i}.zip`)));
  const spy = `<script>
    window.reached = [];
    const seen = new Set(JSON.parse(localStorage.getItem("seen") ?? "[]"));
    for (const name of seen) customElements.define(name, class extends HTMLElement {
      constructor() { super(); const internals = this.attachInternals(); setTimeout(() => { if (internals.shadowRoot) reached.push(name); }, 50); }
    });
    new MutationObserver((records) => {
      for (const r of records) for (const n of r.addedNodes) if (n.localName?.includes("-")) seen.add(n.localName);
      localStorage.setItem("seen", JSON.stringify([...seen]));
    }).observe(document, { childList: true, subtree: true });
  </script>`;
  const body = `<!doctype html><meta charset="utf-8"><title>fixture</title><style>span:empty { display: none !important; }</style>${spy}` +
    `<p><a href="${links[0]}">下载</a> <input value="${links[1]}"> <span data-u="${links[2]}">高速</span></p>`;
  const server = await startServer(new Map([["/forum.html", { body: Buffer.from(body) }]]));
  const { browser, origin: ORIGIN } = await launchFirefox(puppeteer, path.join(options.extension, "firefox"), scratch,
    { host_permissions: ["http://127.0.0.1/*"] }, { without: ["contextMenus"] });
  try {
    const { forum, list } = await openFirefoxList(browser, ORIGIN, server.origin + "/forum.html");
    const flip = async () => {
      await list.click("#site");
      await until(list, () => document.getElementById("notice").textContent !== "");
      const said = await list.evaluate(() => document.getElementById("notice").textContent);
      await list.evaluate(() => { document.getElementById("notice").textContent = ""; });
      return said;
    };
    expect("on", await flip(), "Each download link on this site now shows its real address beside it.");
    const count = (n) => [...document.querySelectorAll("span:empty")].filter((s) => s.getBoundingClientRect().width > 50).length === n;
    await until(forum, count, links.length);
    // aria2 set up (at the fixture server, which logs what reaches it), for the visit after the
    // reload.
    await list.evaluate((address) => browser.storage.local.set({ aria2: { address, secret: "" } }), server.origin + "/jsonrpc");
    await forum.reload({ waitUntil: "load" });
    await until(forum, count, links.length);
    await new Promise((r) => setTimeout(r, 300));
    const drawn = await forum.evaluate(() => [...document.querySelectorAll("span:empty")].map((host) => {
      const box = host.getBoundingClientRect();
      return { shadow: host.shadowRoot === null, shown: getComputedStyle(host).display, wide: box.width > 50 && box.height > 10 };
    }));
    expect("markers drawn in closed shadow roots", drawn, links.map(() => ({ shadow: true, shown: "inline-block", wide: true })));
    expect("markers the spy reached", await forum.evaluate(() => window.reached), []);
    // A press of a marker's "send to aria2" (from the keyboard: BiDi reaches no closed shadow
    // root to aim a click at) sends nothing in Firefox, which cannot vouch that the marker was in
    // sight: the list tab opens on its link for the user to confirm.
    await forum.bringToFront();
    await forum.evaluate(() => document.querySelector("a").focus());
    for (const key of ["Tab", "Tab", "Enter"]) await forum.keyboard.press(key);
    let confirm = null;
    for (const end = Date.now() + 10000; confirm === null && Date.now() < end; await new Promise((r) => setTimeout(r, 100))) {
      for (const tab of await browser.pages()) {
        if (await tab.evaluate(() => location.search.endsWith("&send=1")).catch(() => false)) confirm = tab;
      }
    }
    check("the list tab opened to confirm", confirm !== null);
    await until(confirm, () => Boolean(document.body?.dataset.decoded));
    expect("the link to confirm", await confirm.evaluate(() => [...document.querySelectorAll("#rows .address")].map((a) => a.textContent)),
           ["http://dl.example.com/0.zip"]);
    expect("nothing reached aria2", server.log.filter((url) => url.startsWith("/jsonrpc")), []);
    await confirm.close();
    expect("off", await flip(), "Turned off on this site; the markers are gone.");
    await until(forum, count, 0);
    check("unregistered", (await list.evaluate(() => browser.scripting.getRegisteredContentScripts())).length === 0);
  } finally {
    await browser.close();
    await server.stop();
  }
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "veltrun-firefox-"));
await runGroups({ "firefox-sites": () => run(scratch) }, null, scratch);
