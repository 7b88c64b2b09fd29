// The extension in Firefox ESR, driven by puppeteer-core over WebDriver BiDi: installed as a
// temporary add-on, its list page reads a fixture page's links. Only the test build's manifest
// grants http://127.0.0.1/*, since a page opened as a tab gets no activeTab from a click, and the
// clipboard permissions a user grants when asked (read: to check what was copied).
//   node firefox_smoke.mjs --extension build/extension --tools DIR
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { parseArgs } from "node:util";
import {
  Failure, SCHEMES, WRAP, expect, gbk, launchFirefox, openFirefoxList, puppeteerFrom, runGroups,
  startServer, until,
} from "./harness.mjs";

const { values: options } = parseArgs({ options: { extension: { type: "string" }, tools: { type: "string" } } });
const puppeteer = puppeteerFrom(options.tools);

async function smoke(scratch) {
  const names = [
    [Buffer.from("http://dl.example.com/setup.exe"), "http://dl.example.com/setup.exe", "UTF-8"],
    [gbk("http://例子.cn/电影.mkv"), "http://例子.cn/电影.mkv", "GBK"],
    [Buffer.from("http://例子.cn/电影.mkv"), "http://例子.cn/电影.mkv", "UTF-8"],
  ];
  const made = SCHEMES.map((scheme, i) => ({ link: WRAP[scheme](names[i][0]), address: names[i][1], charset: names[i][2] }));
  const framed = { link: WRAP.qqdl(Buffer.from("http://dl.example.com/framed.zip")), address: "http://dl.example.com/framed.zip", charset: "UTF-8" };
  const html = (body) => Buffer.from(`<!doctype html><meta charset="utf-8"><title>fixture</title>${body}`);
  const server = await startServer(new Map([
    ["/forum.html", { body: html(`<a href="${made[0].link}">下载</a><input value="${made[1].link}"><script>var u="${made[2].link}";</script><iframe src="/frame.html"></iframe>`) }],
    ["/frame.html", { body: html(`<p>${framed.link}</p>`) }],
  ]));
  const { browser, origin: ORIGIN } = await launchFirefox(puppeteer, path.join(options.extension, "firefox"), scratch,
    { host_permissions: ["http://127.0.0.1/*"], permissions: ["clipboardWrite", "clipboardRead"] });
  try {
    const { forum, list } = await openFirefoxList(browser, ORIGIN, server.origin + "/forum.html");
    const got = await list.evaluate(() => [...document.querySelectorAll("#rows > li")].map((li) => ({
      address: li.querySelector(".address")?.textContent ?? null,
      charset: li.querySelectorAll(".tag")[1]?.textContent ?? null,
    })));
    const summary = await list.evaluate(() => document.getElementById("summary").textContent);
    expect("rows (" + summary + ")", got, [...made, framed].map(({ address, charset }) => ({ address, charset })));
    // The background page's context-menu handler, called as a click would: the selection's
    // links open in the list tab.
    const opened = await list.evaluate(async (link) => {
      const background = await browser.runtime.getBackgroundPage();
      const [tab] = await browser.tabs.query({ url: "http://127.0.0.1/*" });
      return background.onMenuClicked({ menuItemId: "decode-selection", selectionText: `字幕 ${link}` }, tab);
    }, framed.link);
    expect("the menu opens the list", opened, { opened: true });
    // BiDi reports extension pages' addresses as about:blank: the list is the newest tab, once
    // BiDi has reported it.
    let tab = null;
    for (const end = Date.now() + 5000; tab === null && Date.now() < end; await new Promise((r) => setTimeout(r, 100))) {
      const newest = (await browser.pages()).at(-1);
      if (await newest.evaluate(() => location.search.startsWith("?selection=")).catch(() => false)) tab = newest;
    }
    if (tab === null) throw new Failure("the list tab did not open");
    await until(tab, () => Boolean(document.body?.dataset.decoded));
    const selection = await tab.evaluate(() => [...document.querySelectorAll("#rows .address")].map((a) => a.textContent));
    expect("the selection's list", selection, [framed.address]);
    // "Copy the real address" copies in the background page, with the permission it asks for.
    const copied = await list.evaluate(async (link) => {
      const background = await browser.runtime.getBackgroundPage();
      const done = await background.onMenuClicked({ menuItemId: "copy-real-address", linkUrl: link }, undefined);
      return { done, clipboard: await navigator.clipboard.readText() };
    }, made[1].link);
    expect("copied from the background page", copied, { done: { copied: true, text: made[1].address }, clipboard: made[1].address });
  } finally {
    await browser.close();
    await server.stop();
  }
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "veltrun-firefox-"));
await runGroups({ firefox: () => smoke(scratch) }, null, scratch);
