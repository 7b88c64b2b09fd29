// The npm package against the command-line tool: the same records for the same links, its
// arguments checked, and the package as installed. Run by node --test from a scratch project
// that installed the tarball, with VELTRUN_CLI naming the built veltrun.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync, spawnSync } from "node:child_process";
import { readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { fileURLToPath } from "node:url";
import * as veltrun from "veltrun";
import { unwrap, find, wrap } from "veltrun";

const CLI = process.env.VELTRUN_CLI;
const b64 = (bytes) => Buffer.from(bytes).toString("base64");
const utf8 = (text) => new TextEncoder().encode(text);
const cat = (...parts) => Uint8Array.from(parts.flatMap((p) => [...(typeof p === "string" ? utf8(p) : p)]));
const thunder = (address) => "thunder://" + b64(cat("AA", address, "ZZ"));

function cliRecords(args, input) {
  const run = spawnSync(CLI, ["--json", ...args], { input, maxBuffer: 1 << 26 });
  assert.ok(run.status === 0 || run.status === 1, run.stderr.toString());
  return run.stdout.toString().split("\n").filter(Boolean).map((line) => JSON.parse(line));
}

const asJson = (record) => ({ ...record, bytes: record.bytes === null ? null : b64(record.bytes),
                              repairs: [...record.repairs] });

const GBK_NAME = "http://example.com/电影.mkv";
const GBK_BYTES = cat("http://example.com/", [0xb5, 0xe7, 0xd3, 0xb0], ".mkv");
const UTF8_NAME = "http://example.com/音乐.mp3";

test("the API: records with the JSON record's fields and outcomes", () => {
  const record = unwrap(thunder(UTF8_NAME));
  assert.deepEqual(Object.keys(record), Object.keys(cliRecords(["x/"])[0]));
  assert.deepEqual([record.scheme, record.outcome, record.address, record.charset, record.line],
                   ["thunder", "Decoded", UTF8_NAME, "utf8", null]);
  assert.ok(record.bytes instanceof Uint8Array && Object.isFrozen(record));
  for (const [link, outcome, scheme] of [
    ["qqdl://" + b64(utf8("http://a/b")), "Decoded", "qqdl"],
    ["flashget://" + b64(utf8("[FLASHGET]http://a/b[FLASHGET]")), "Decoded", "flashget"],
    ["http://a/b", "NotALink", null], ["no slash", "Ignored", null], ["thunder://", "Decoded", "thunder"],
  ]) {
    for (const given of [link, utf8(link)]) {
      const r = unwrap(given);
      assert.deepEqual([r.outcome, r.scheme, r.input], [outcome, scheme, link]);
      assert.equal(r.bytes === null, outcome !== "Decoded");
    }
  }
  assert.ok(execFileSync(CLI, ["--version"]).toString().split(/\s/).includes(veltrun.version));
  assert.deepEqual(veltrun.schemes, ["thunder", "flashget", "qqdl"]);
});

test("GBK, UTF-8 and repaired links", () => {
  for (const [address, charset, shown, used] of [
    [GBK_BYTES, "auto", GBK_NAME, "gbk"],
    [utf8(UTF8_NAME), "auto", UTF8_NAME, "utf8"],
    [utf8(UTF8_NAME), "gbk", new TextDecoder("gb18030").decode(utf8(UTF8_NAME)), "gbk"],
    [cat("http://a/", [0xff, 0x07]), "utf8", "http://a/\\xFF\u0007", "utf8"],
  ]) {
    const r = unwrap(thunder(address), { charset });
    assert.deepEqual([r.bytes, r.address, r.charset], [address, shown, used]);
  }
  for (const [link, repairs] of [
    ["THUNDER://" + b64(utf8("AAhttp://a/bZZ")), ["scheme-case"]],
    ["qqdl://" + b64(utf8("http://a/b?>>")).replace("+", "-"), ["url-safe-base64"]],
    ["thunder%3A%2F%2F" + b64(utf8("AAhttp://a/bZZ")), ["percent-escapes"]],
    ["qqdl://" + b64(utf8("http://a/b?>>")), []],
  ]) {
    const repaired = unwrap(link, { lenient: true });
    assert.deepEqual([repaired.outcome, repaired.repairs], ["Decoded", repairs]);
    const strict = unwrap(link);
    assert.equal(b64(strict.bytes ?? []) === b64(repaired.bytes), repairs.length === 0);
  }
});

test("lenient reading names what is no address", () => {
  for (const [link, outcome, detail] of [
    ["thunder://QQ==", "NotAnAddress", "A"],
    ["qqdl://" + b64(utf8("http://a/bc")).slice(0, -4) + "\u2026", "CutShort", "http://a/"],
  ]) {
    const r = unwrap(link, { lenient: true });
    assert.deepEqual([r.outcome, r.detail, r.address, r.bytes], [outcome, detail, null, null]);
    assert.deepEqual(asJson(r), cliRecords(["--lenient", link])[0]);
    assert.equal(unwrap(link).outcome, "Decoded");
  }
});

test("find on a page's text", () => {
  const page = `<html><body>\n<a href="${thunder(GBK_BYTES)}">电影</a>\n` +
    `<p>plain text http://not/a/link</p><a href='qqdl://${b64(utf8("http://a/b"))}'>x</a>\n` +
    `<a href="/go?u=thunder%3A%2F%2F${b64(utf8("AAhttp://c/dZZ"))}">percent-encoded</a>\n</body></html>\n`;
  assert.deepEqual(find(page).map((r) => [r.line, r.scheme, r.address]),
                   [[2, "thunder", GBK_NAME], [3, "qqdl", "http://a/b"]]);
  assert.deepEqual(find(utf8(page), { lenient: true }).map((r) => [r.line, r.address, r.repairs]),
                   [[2, GBK_NAME, []], [3, "http://a/b", []], [4, "http://c/d", ["percent-escapes"]]]);
  const links = Array.from({ length: 20000 }, (_, i) => thunder("http://a/" + i));
  const found = find(links.join("\n"));
  assert.equal(found.length, 20000);
  assert.deepEqual([found[19999].line, found[19999].input], [20000, links[19999]]);
  assert.deepEqual([find(""), find(utf8("no links"))], [[], []]);
});

test("wrap round trips and refusals", () => {
  for (const scheme of veltrun.schemes) {
    for (const [address, charset, carried] of [
      ["http://example.com/a b.zip", "utf8", utf8("http://example.com/a b.zip")],
      [UTF8_NAME, "utf8", utf8(UTF8_NAME)],
      [GBK_NAME, "gbk", GBK_BYTES],
      [cat("http://a/", [0xb5, 0xe7]), "utf8", cat("http://a/", [0xb5, 0xe7])],
    ]) {
      const link = wrap(address, scheme, { charset });
      const r = unwrap(link);
      assert.deepEqual([r.scheme, r.bytes], [scheme, carried]);
      const made = spawnSync(CLI, ["--encode", scheme, ...(charset === "gbk" ? ["--charset", "gbk"] : [])],
                             { input: typeof address === "string" ? utf8(address) : address });
      assert.equal(made.stdout.toString(), link + "\n");
    }
  }
  for (const [address, charset, reason] of [
    ["http://a/\0b", "utf8", "zero-byte"],
    [cat("http://a/", [0xb5]), "gbk", "not-utf8"],
    ["", "utf8", "empty"],
    [new Uint8Array(0), "gbk", "empty"],
  ]) {
    assert.throws(() => wrap(address, "qqdl", { charset }),
                  (e) => e instanceof RangeError && e.reason === reason && e.message.includes(reason));
  }
});

test("bad arguments", () => {
  for (const [call, message] of [
    [() => unwrap(null), /link must be a string or a Uint8Array/],
    [() => unwrap("x", { charset: "latin1" }), /unknown charset "latin1"/],
    [() => unwrap("x", { lenient: "yes" }), /"lenient" must be true or false/],
    [() => unwrap("x", { lenent: true }), /unknown option "lenent"/],
    [() => unwrap("x", "auto"), /options must be an object/],
    [() => find(42), /text must be a string or a Uint8Array/],
    [() => find("x", { charset: "raw" }), /unknown charset "raw"/],
    [() => wrap("http://a/b", "ed2k"), /unknown scheme "ed2k"/],
    [() => wrap("http://a/b", "qqdl", { charset: "auto" }), /unknown charset/],
    [() => wrap(["http://a/b"], "qqdl"), /address must be a string or a Uint8Array/],
  ]) {
    assert.throws(call, (e) => e instanceof TypeError && message.test(e.message));
  }
});

// A small seeded generator, so every run checks the same links.
function random(seed) {
  return () => (seed = (Math.imul(seed, 1103515245) + 12345) >>> 0) / 2 ** 32;
}

function generatedLinks(count) {
  const next = random(17);
  const pick = (list) => list[Math.floor(next() * list.length)];
  const pieces = [utf8("http://example.com/"), [0xb5, 0xe7, 0xd3, 0xb0], utf8("音乐"), [0xff], [0x1b],
                  utf8("%20"), utf8("&amp;"), utf8("a+b"), [0xe2, 0x80, 0xae], utf8("/?x=1")];
  const markers = { thunder: ["AA", "ZZ"], flashget: ["[FLASHGET]", "[FLASHGET]"], qqdl: ["", ""] };
  const links = [];
  for (let i = 0; i < count; i++) {
    const address = cat(...Array.from({ length: Math.floor(next() * 7) }, () => pick(pieces)));
    let scheme = pick(veltrun.schemes);
    let payload = b64(cat(markers[scheme][0], address, markers[scheme][1]));
    const damage = i % 6;
    if (damage === 1) scheme = scheme.toUpperCase();
    else if (damage === 2) payload = payload.replaceAll("+", "-").replaceAll("/", "_").replace(/=+$/, "");
    else if (damage === 3) payload = payload.replaceAll("=", "%3D");
    else if (damage === 4) payload = payload.slice(0, -3);
    links.push(scheme + "://" + payload);
  }
  return [...links, "http://plain/link", "no-slash", "thunder://"];
}

test("the same records as the command-line tool for generated links", () => {
  const links = generatedLinks(300);
  const text = links.map((link, i) => `<a href="${link}">${i}</a>`).join("\n");
  for (const lenient of [false, true]) {
    for (const charset of ["auto", "gbk", "utf8"]) {
      const options = ["--charset", charset, ...(lenient ? ["--lenient"] : [])];
      assert.deepEqual(links.map((link) => asJson(unwrap(link, { lenient, charset }))),
                       cliRecords([...options, ...links]));
      assert.deepEqual(find(text, { lenient, charset }).map(asJson), cliRecords(options, utf8(text)));
    }
  }
});

test("the package as installed", () => {
  const require = createRequire(import.meta.url);
  const manifest = require("veltrun/package.json");
  assert.equal(manifest.version, veltrun.version);
  assert.equal(manifest.dependencies, undefined);
  const here = fileURLToPath(new URL(".", import.meta.url));
  const entry = fileURLToPath(import.meta.resolve("veltrun"));
  assert.equal(entry, here + "node_modules/veltrun/index.node.js");
  assert.deepEqual(Object.keys(veltrun).sort(), ["find", "schemes", "unwrap", "version", "wrap"]);
  const declared = readFileSync(here + "node_modules/veltrun/index.d.ts", "utf8");
  for (const name of Object.keys(veltrun)) assert.match(declared, new RegExp(`export (const|function) ${name}\\b`));
});

test("the entry for browsers and bundlers fetches the core from beside it", async () => {
  const fetched = [];
  const nodeFetch = globalThis.fetch;
  globalThis.fetch = async (url) => {
    fetched.push(String(url));
    return new Response(readFileSync(url), { headers: { "Content-Type": "application/wasm" } });
  };
  try {
    const entry = await import(new URL("./node_modules/veltrun/index.js", import.meta.url));
    assert.deepEqual(fetched, [new URL("./node_modules/veltrun/veltrun.wasm", import.meta.url).href]);
    assert.deepEqual(asJson(entry.unwrap(thunder(UTF8_NAME))), asJson(unwrap(thunder(UTF8_NAME))));
  } finally {
    globalThis.fetch = nodeFetch;
  }
});

// A typed program as a user writes it, checked by the TypeScript compiler against the package's
// declarations as a Node.js project resolves them; the last two lines are wrong on purpose.
const TYPED_USE = `import { unwrap, find, wrap, schemes, version, type LinkRecord } from "veltrun";
const record: LinkRecord = unwrap("qqdl://aHR0cDovL2EvYg==", { lenient: true });
const bytes: Uint8Array | null = record.bytes;
const lines: (number | null)[] = find(new Uint8Array(0), { charset: "gbk" }).map((r) => r.line);
const link: string = wrap("http://a/b", schemes[0], { charset: "gbk" }) + version;
const wrong: number = wrap("http://a/b", "thunder");
unwrap("x", { charset: "latin1" });
`;

test("the declarations against a typed program", () => {
  const here = fileURLToPath(new URL(".", import.meta.url));
  writeFileSync(here + "use.ts", TYPED_USE);
  const run = spawnSync("tsc", ["--noEmit", "--strict", "--target", "es2022", "--module", "nodenext",
                                "--moduleResolution", "nodenext", "use.ts"], { cwd: here });
  const errors = run.stdout.toString().split("\n").filter((line) => line.includes("error TS"));
  assert.deepEqual(errors.map((line) => line.replace(/: error (TS\d+).*/, " $1")),
                   ["use.ts(6,7) TS2322", "use.ts(7,15) TS2322"], run.stdout.toString());
});
