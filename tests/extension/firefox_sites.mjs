// The chosen-site markers in Firefox ESR, over WebDriver BiDi: the list tab's switch turns the
// fixture page's site on, each link gets a marker whose closed shadow root is drawn with its
// own style, and turning the site off takes them away. BiDi reaches no closed shadow root, so
// the markers' words are read in Chromium only (site_tests.mjs). As there, the test build's
// manifest grants http://127.0.0.1/*, which answers the permission request at once.
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
  const body = `<!doctype html><meta charset="utf-8"><title>fixture</title><style>veltrun-mark { display: none !important; }</style>` +
    `<p><a href="${links[0]}">下载</a> <input value="${links[1]}"> <span data-u="${links[2]}">高速</span></p>`;
  const server = await startServer(new Map([["/forum.html", { body: Buffer.from(body) }]]));
  const { browser, origin: ORIGIN } = await launchFirefox(puppeteer, path.join(options.extension, "firefox"), scratch,
    { host_permissions: ["http://127.0.0.1/*"] });
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
    await until(forum, (n) => document.querySelectorAll("veltrun-mark").length === n, links.length);
    const drawn = await forum.evaluate(() => [...document.querySelectorAll("veltrun-mark")].map((host) => {
      const box = host.getBoundingClientRect();
      return { shadow: host.shadowRoot === null, shown: getComputedStyle(host).display, wide: box.width > 50 && box.height > 10 };
    }));
    expect("markers drawn in closed shadow roots", drawn, links.map(() => ({ shadow: true, shown: "inline-block", wide: true })));
    expect("off", await flip(), "Turned off on this site; the markers are gone.");
    await until(forum, () => document.querySelectorAll("veltrun-mark").length === 0);
    check("unregistered", (await list.evaluate(() => browser.scripting.getRegisteredContentScripts())).length === 0);
  } finally {
    await browser.close();
    await server.stop();
  }
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "veltrun-firefox-"));
await runGroups({ "firefox-sites": () => run(scratch) }, null, scratch);
