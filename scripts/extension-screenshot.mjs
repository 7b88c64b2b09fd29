#!/usr/bin/env node
// Takes docs/extension-popup.png: the extension's popup over a forum page, in headless Chromium
// (after make extension). The popup is its own target there, so the two screenshots are laid
// one over the other with ImageMagick, where a browser shows the popup.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { WRAP, gbk, launchChromium, openPopup, puppeteerFrom, startServer } from "../tests/extension/harness.mjs";

const ROOT = path.dirname(path.dirname(new URL(import.meta.url).pathname));
const puppeteer = puppeteerFrom(path.join(ROOT, "build/web/extension-tools/node_modules"));
const OUT = path.join(ROOT, "docs/extension-popup.png");

const film = WRAP.thunder(gbk("http://例子.cn/电影.mkv"));
const sample = WRAP.flashget(Buffer.from("http://dl.example.com/示例电影.1080p.mkv"));
const subtitles = WRAP.qqdl(Buffer.from("http://dl.example.com/subtitles.zip"));
const shouted = "THUNDER://" + WRAP.thunder(Buffer.from("ed2k://|file|example.iso|1024|0123456789ABCDEF0123456789ABCDEF|/")).slice(10);
const forum = `<!doctype html><html lang="zh-CN"><head><meta charset="utf-8"><title>《示例电影》1080P 下载 - 影视论坛</title>
<style>body{font:15px "WenQuanYi Micro Hei",sans-serif;margin:0;background:#eef1f5;color:#222}
header{background:#2b5797;color:#fff;padding:10px 24px;font-size:20px}
.post{background:#fff;margin:16px 24px;padding:16px 20px;border:1px solid #cfd6df;border-radius:4px}
.who{color:#2b5797;font-weight:bold}.box{width:420px}a{color:#2b5797}</style></head><body>
<header>影视论坛 › 高清电影</header>
<div class="post"><p class="who">楼主 · 片源分享</p><h2>《示例电影》1080P 中字</h2>
<p>迅雷下载：<a href="${film}" thunderrestitle="示例电影">示例电影.mkv</a></p>
<p>快车地址（复制到快车）：<input class="box" readonly value="${sample}"></p>
<p>字幕：${subtitles}</p></div>
<div class="post"><p class="who">二楼 · 回复</p><p>镜像：${shouted}</p>
<script>var downurls="第01集$${film}#";</script></div></body></html>`;

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "veltrun-shot-"));
const server = await startServer(new Map([["/forum.html", { body: Buffer.from(forum) }]]));
const session = await launchChromium(puppeteer, path.join(ROOT, "build/extension/chromium"), { scratch });
try {
  const page = await session.browser.newPage();
  await page.setViewport({ width: 1100, height: 720 });
  await page.goto(server.origin + "/forum.html", { waitUntil: "load" });
  const popup = await openPopup(session, page);
  const width = 600;
  await popup.setViewport({ width, height: 600 });
  const pagePng = path.join(scratch, "page.png");
  const popupPng = path.join(scratch, "popup.png");
  await page.screenshot({ path: pagePng });
  // 600 pixels high: the largest popup Chromium shows.
  await popup.screenshot({ path: popupPng, clip: { x: 0, y: 0, width, height: 600 }, captureBeyondViewport: true });
  execFileSync("convert", [pagePng, "(", popupPng, "-bordercolor", "#9aa4b0", "-border", "1", ")",
    "-geometry", "+480+8", "-composite", "-strip", OUT]);
  console.log("wrote " + path.relative(ROOT, OUT));
} finally {
  await session.browser.close();
  await server.stop();
  fs.rmSync(scratch, { recursive: true, force: true });
}
