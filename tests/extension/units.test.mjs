// The extension's rules that need no browser, in Node (`node --test`): which host permission an
// address needs, and which messages the background refuses; and, in the assembled builds at
// VELTRUN_EXTENSION, that every import resolves and no test hook ships.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import { test } from "node:test";
import { isLoopback, patternOf, siteOf } from "../../web/extension/src/hosts.js";
import { FROM_POPUP, FROM_SITES, READING, checked, refusal } from "../../web/extension/src/messages.js";

test("an address's site and pattern; none for a host the pattern would widen", () => {
  const cases = [
    ["http://127.0.0.1:6800/jsonrpc", "http://127.0.0.1/*"],
    ["https://Example.COM/a?b#c", "https://example.com/*"],
    ["http://例子.cn/", "http://xn--fsqu00a.cn/*"],
    ["http://[::1]:6800/jsonrpc", "http://[::1]/*"],
    ["http://my_nas:6800/jsonrpc", "http://my_nas/*"],
    ["http://*/jsonrpc", null],
    ["http://*.example.com/", null],
    ["http://%2A/", null],
    ["http://a b/", null],
    ["file:///etc/passwd", null],
    ["ftp://example.com/", null],
    ["chrome-extension://abc/popup.html", null],
    ["javascript:alert(1)", null],
    ["not a url", null],
  ];
  for (const [url, pattern] of cases) {
    assert.equal(patternOf(url), pattern, url);
    assert.equal(siteOf(url), pattern === null ? null : pattern.slice(0, -2), url);
  }
});

test("loopback is this machine only", () => {
  const cases = [
    ["http://127.0.0.1:6800/jsonrpc", true], ["http://127.1.2.3/", true], ["http://localhost/", true],
    ["http://[::1]/", true], ["http://192.168.1.1/", false], ["http://127.0.0.1.example.com/", false],
    ["http://localhost.example/", false], ["nonsense", false],
  ];
  for (const [url, loopback] of cases) assert.equal(isLoopback(url), loopback, url);
});

test("messages: unknown types and wrong shapes are refused by name", () => {
  const cases = [
    [{ type: "veltrun-hello" }, null],
    [{ type: "veltrun-find", pieces: ["a", "b"] }, null],
    [{ type: "veltrun-find", pieces: "a" }, "ill-formed veltrun-find"],
    [{ type: "veltrun-find", pieces: [1] }, "ill-formed veltrun-find"],
    [{ type: "veltrun-find", pieces: Array(20001).fill("") }, "ill-formed veltrun-find"],
    [{ type: "veltrun-find", pieces: ["x".repeat(1 << 24), "y"] }, "ill-formed veltrun-find"],
    [{ type: "veltrun-aria2", input: "qqdl://x" }, null],
    [{ type: "veltrun-aria2" }, "ill-formed veltrun-aria2"],
    [{ type: "veltrun-confirm", input: 5 }, "ill-formed veltrun-confirm"],
    [{ type: "veltrun-off" }, "unknown type"],
    [{ type: "toString" }, "unknown type"],
    [{ type: "__proto__" }, "unknown type"],
    [{}, "not a message"],
    [["veltrun-hello"], "not a message"],
    [null, "not a message"],
    ["veltrun-hello", "not a message"],
  ];
  for (const [message, why] of cases) assert.equal(refusal(FROM_SITES, message), why, JSON.stringify(message)?.slice(0, 60));
  // The popup's question, which its classic first script names itself, is not a site's.
  const popupEarly = fs.readFileSync(path.join(import.meta.dirname, "../../web/extension/src/popup-early.js"), "utf8");
  assert.ok(popupEarly.includes(`type: "${READING}", token`), "popup-early.js names the reading's type");
  assert.equal(refusal(FROM_POPUP, { type: READING, token: crypto.randomUUID() }), null);
  assert.equal(refusal(FROM_POPUP, { type: READING, token: "x".repeat(65) }), "ill-formed " + READING);
  assert.equal(refusal(FROM_SITES, { type: READING, token: crypto.randomUUID() }), "unknown type");
});

test("an answer is used only when it says ok", () => {
  assert.deepEqual(checked({ ok: true, copied: true }), { ok: true, copied: true });
  assert.throws(() => checked({ ok: false, error: "busy" }), /busy/);
  assert.throws(() => checked(undefined), /no answer/);
  assert.throws(() => checked({ copied: true }), /no answer/);
});

// The JavaScript files under `root` and what each imports that is not there.
function unresolved(root) {
  const missing = [];
  for (const name of fs.readdirSync(root, { recursive: true }).filter((n) => n.endsWith(".js") && !n.includes("node_modules"))) {
    const source = fs.readFileSync(path.join(root, name), "utf8");
    for (const [, spec] of source.matchAll(/^import\s*(?:\{[^}]*\}\s*from\s*)?"([^"]+)";/gm)) {
      if (!fs.existsSync(path.join(root, path.dirname(name), spec))) missing.push(`${name} imports ${spec}`);
    }
  }
  return missing;
}

test("every import of the page, the extension and the shared UI resolves in the source tree", () => {
  for (const dir of ["web/page", "web/extension/src", "web/ui"]) {
    assert.deepEqual(unresolved(path.join(import.meta.dirname, "../..", dir)), [], dir);
  }
});

test("the built packages: every import resolves, no test hook", { skip: !process.env.VELTRUN_EXTENSION }, () => {
  for (const browser of ["chromium", "firefox"]) {
    const root = path.join(process.env.VELTRUN_EXTENSION, browser);
    assert.deepEqual(unresolved(root), [], browser);
    for (const name of fs.readdirSync(root).filter((n) => n.endsWith(".js"))) {
      assert.doesNotMatch(fs.readFileSync(path.join(root, name), "utf8"), /onMenuClicked\s*=|test-hooks/, `${browser}/${name}`);
    }
  }
});
