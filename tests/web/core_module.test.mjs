// web/core/veltrun-core.js in Node, on the wasm the web preset builds: the records it gives are
// the native `veltrun --json`'s, byte for byte, however the text is cut; what callers pass is
// checked. Run by ctest as `node --test` with VELTRUN_WASM and VELTRUN_EXE set.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { loadCore } from "../../web/core/veltrun-core.js";

const EXE = process.env.VELTRUN_EXE;
const core = await loadCore(readFileSync(process.env.VELTRUN_WASM));

const b64 = (bytes) => Buffer.from(bytes).toString("base64");
const WRAP = {
  thunder: (a) => "thunder://" + b64(Buffer.concat([Buffer.from("AA"), a, Buffer.from("ZZ")])),
  flashget: (a) => "flashget://" + b64(Buffer.concat([Buffer.from("[FLASHGET]"), a, Buffer.from("[FLASHGET]")])),
  qqdl: (a) => "qqdl://" + b64(a),
};
const GBK = new Map([["例子", [0xc0, 0xfd, 0xd7, 0xd3]], ["电影", [0xb5, 0xe7, 0xd3, 0xb0]]]);

// A seeded generator, so a failure can be run again.
function random(seed) {
  return (n) => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return Math.floor((seed / 2147483648) * n);
  };
}

// Addresses of every kind the core tells apart (ASCII, UTF-8, GBK, controls, stray bytes,
// direction marks), in links damaged the ways repair mode undoes.
function links(count, seed) {
  const rng = random(seed);
  const pick = (list) => list[rng(list.length)];
  const made = [];
  for (let i = 0; i < count; i++) {
    const parts = [Buffer.from(pick(["http://", "ftp://", "magnet:?xt=urn:btih:", "ed2k://|file|", ""]))];
    for (let k = 0; k < 1 + rng(3); k++) {
      parts.push(pick([
        Buffer.from("dl.example.com/a b&amp;c"),
        Buffer.from("下载/文件.rar"),
        Buffer.from(pick([...GBK.values()])),
        Buffer.from([1 + rng(255), 1 + rng(255), 0x1b]),
        Buffer.from("\u202e😀é"),
      ]));
    }
    let link = WRAP[pick(Object.keys(WRAP))](Buffer.concat(parts));
    const damage = rng(5);
    if (damage === 0) link = link.replaceAll("=", "%3D");
    else if (damage === 1) link = link.replaceAll("+", "-").replaceAll("/", "_").replace(/^(\w+):__/, "$1://");
    else if (damage === 2) link = link[0].toUpperCase() + link.slice(1);
    else if (damage === 3) link = link.replaceAll("=", "&#61;");
    made.push(link);
  }
  return made;
}

// The first nine fields of a record, as `veltrun --json` writes them.
const asJson = (r) => ({ input: r.input, line: r.line, scheme: r.scheme, outcome: r.outcome, address: r.address,
                         charset: r.charset, bytes: r.bytes === null ? null : b64(r.bytes), repairs: r.repairs,
                         detail: r.detail });
const cli = (args, input) => execFileSync(EXE, ["--json", ...args], { input, maxBuffer: 1 << 26 })
  .toString("utf8").split("\n").filter(Boolean).map((line) => JSON.parse(line));

// `veltrun` exits 1 when some input was refused; its output is what matters here.
function cliRecords(args, input) {
  try {
    return cli(args, input);
  } catch (error) {
    if (error.status !== 1) throw error;
    return error.stdout.toString("utf8").split("\n").filter(Boolean).map((line) => JSON.parse(line));
  }
}

const MODES = [
  { lenient: false, charset: "auto" },
  { lenient: true, charset: "auto" },
  { lenient: true, charset: "gbk" },
  { lenient: false, charset: "utf8" },
];
const flags = ({ lenient, charset }) => [...(lenient ? ["--lenient"] : []), "--charset", charset];

test("find() gives the records of veltrun --json for a text", () => {
  const text = links(40, 7).map((link, i) => (i % 3 ? link : `<a href="${link}">下载</a>`)).join("\n");
  for (const mode of MODES) {
    const ours = core.find(text, mode);
    assert.deepEqual(ours.map(asJson), cliRecords(flags(mode), text), JSON.stringify(mode));
  }
});

test("unwrap() gives the records of veltrun --json for links given whole", () => {
  const given = [...links(20, 11), "hello", "http://a/b", "thunder://", "QQDL://aHR0cDovL2EvYg=="];
  for (const mode of MODES) {
    const ours = given.map((link) => asJson(core.unwrap(link, mode)));
    assert.deepEqual(ours, cliRecords([...flags(mode), "--", ...given], ""), JSON.stringify(mode));
  }
});

test("a record's renderings, made when first read, are veltrun's own and are cloned as fields", () => {
  for (const mode of MODES) {
    const given = links(40, 13).filter((link) => core.unwrap(link, mode).addressShown !== null);
    const lines = (args) => execFileSync(EXE, [...args, "--", ...given]).toString("utf8").split("\n").slice(0, -1);
    const lenient = mode.lenient ? ["--lenient"] : [];
    const records = given.map((link) => core.unwrap(link, mode));
    assert.deepEqual(records.map((r) => r.addressShown), lines(flags(mode)), JSON.stringify(mode));
    assert.deepEqual(records.map((r) => r.percentUtf8), lines(["-p", ...flags(mode)]), JSON.stringify(mode));
    assert.deepEqual(records.map((r) => r.percentOwn), lines([...lenient, "-p", "--charset", "raw"]), JSON.stringify(mode));
    const fresh = given.map((link) => core.unwrap(link, mode));  // nothing read yet
    assert.deepEqual(structuredClone(fresh), records);
    assert.deepEqual(JSON.parse(JSON.stringify(fresh)), JSON.parse(JSON.stringify(records)));
  }
});

test("where a text is cut changes no record, in characters or in bytes", () => {
  const texts = ["😀 " + links(30, 3).join(" 电 😀\n") + " QQDL://aHR0cDovL2EvYg==", "😀电".repeat(30) + " a/b"];
  for (const [text, lenient] of [[texts[0], false], [texts[0], true], [texts[1], false]]) {
    const bytes = Buffer.from(text);
    const whole = core.find(text, { lenient });
    const once = core.decoder({ lenient });
    once.feed(text);
    once.finish();
    const rng = random(text.length);
    for (const input of [text, new Uint8Array(bytes)]) {
      const decoder = core.decoder({ lenient });
      const records = [];
      for (let at = 0; at < input.length;) {
        const end = Math.min(input.length, at + 1 + rng(40));
        decoder.feed(input.slice(at, end));  // cuts surrogate pairs and UTF-8 sequences alike
        records.push(...decoder.next(1 + rng(3)));
        at = end;
      }
      decoder.finish();
      for (let more = decoder.next(2); more.length > 0; more = decoder.next(2)) records.push(...more);
      assert.deepEqual(records, whole);
      assert.deepEqual(decoder.moreInRepair, once.moreInRepair);
    }
    assert.equal(once.moreInRepair.count > 0, !lenient && text === texts[0]);
    once.close();
  }
});

test("a text without links is one record read whole, unless wholeIfNone is false", () => {
  for (const [text, whole, none] of [["  see a/b\n", ["see a/b"], []], [" \n\t", [], []],
                                     ["x " + WRAP.qqdl(Buffer.from("http://a/")), ["qqdl://aHR0cDovL2Ev"], ["qqdl://aHR0cDovL2Ev"]]]) {
    assert.deepEqual(core.find(text).map((r) => r.input), whole);
    assert.deepEqual(core.find(text, { wholeIfNone: false }).map((r) => r.input), none);
  }
});

test("findEach() reads each text as find() does, none of them across another", () => {
  const texts = ["", "  see a/b\n", "x " + WRAP.qqdl(Buffer.from("http://a/")), "THUNDER://" + b64(Buffer.from("AAhttp://b/ZZ")),
                 "thunder:// QUFo", "\n\n" + links(3, 5).join("\n"), "电影😀", new Uint8Array([0xb5, 0xe7, 0x2f])];
  for (const options of [{}, { lenient: true, charset: "gbk" }, { wholeIfNone: false }]) {
    assert.deepEqual(core.findEach(texts, options), texts.map((text) => core.find(text, options)), JSON.stringify(options));
  }
  assert.deepEqual(core.findEach([]), []);
  assert.throws(() => core.findEach("x"), TypeError);
});

test("wrap() makes links that unwrap to the bytes given, or says why it cannot", () => {
  for (const scheme of core.schemes) {
    for (const [address, charset, bytes] of [
      ["http://例子.cn/电影.mkv", "utf8", Buffer.from("http://例子.cn/电影.mkv")],
      ["http://例子.cn/电影.mkv", "gbk", Buffer.from([...Buffer.from("http://"), ...GBK.get("例子"),
                                                      ...Buffer.from(".cn/"), ...GBK.get("电影"), ...Buffer.from(".mkv")])],
    ]) {
      const link = core.wrap(address, scheme, { charset });
      assert.equal(link, WRAP[scheme](bytes));
      assert.deepEqual(core.unwrap(link).bytes, new Uint8Array(bytes));
    }
  }
  for (const [address, charset, reason] of [["a\0b", "utf8", "zero-byte"], ["a\0b", "gbk", "zero-byte"],
                                             [Uint8Array.of(0x61, 0xff), "gbk", "not-utf8"]]) {
    assert.throws(() => core.wrap(address, "qqdl", { charset }), (e) => e instanceof RangeError && e.reason === reason);
  }
});

test("fileText() reads UTF-8, else GB18030, with U+FFFD for bytes that start no character", () => {
  for (const [bytes, text] of [[Buffer.from("电影 ok"), "电影 ok"], [[...GBK.get("电影"), 0x20, 0x80, 0x41], "电影 \uFFFDA"],
                               [[0xef, 0xbb, 0xbf, 0x41], "\uFEFFA"]]) {
    assert.equal(core.fileText(Uint8Array.from(bytes)), text);
  }
});

test("what callers pass is checked, with errors that say what is wrong", () => {
  const refused = [
    [() => core.find("x", { charset: "latin1" }), TypeError, /unknown charset "latin1"/],
    [() => core.find("x", { strict: true }), TypeError, /unknown option "strict"/],
    [() => core.find("x", { lenient: "yes" }), TypeError, /"lenient" must be true or false/],
    [() => core.find(42), TypeError, /text must be a string or a Uint8Array/],
    [() => core.unwrap("x", null), TypeError, /options must be an object/],
    [() => core.wrap("http://a/", "ed2k"), TypeError, /unknown scheme "ed2k"/],
    [() => core.wrap("http://a/", "qqdl", { charset: "auto" }), TypeError, /unknown charset for a link's bytes/],
    [() => core.encode("x", { gbk: 1 }), TypeError, /"gbk" must be true or false/],
    [() => core.fileText("x"), TypeError, /takes a Uint8Array/],
    [() => core.decoder().next(0), TypeError, /next\(max\)/],
    [() => { const d = core.decoder(); d.finish(); d.feed("x"); }, Error, /feed\(\) after finish\(\)/],
    [() => { const d = core.decoder(); d.close(); d.feed("x"); }, Error, /closed/],
  ];
  for (const [call, type, message] of refused) assert.throws(call, (e) => e instanceof type && message.test(e.message));
});

test("loadCore() rejects what is not the core, saying so", async () => {
  for (const wasm of [() => new Uint8Array([0, 1, 2]), () => "veltrun.wasm", () => Promise.reject(new Error("offline"))]) {
    await assert.rejects(loadCore(wasm()), /^Error: Veltrun: the core could not be loaded: /);
  }
});

test("the core tells its facts: the link cap and its own order of repairs", () => {
  assert.equal(core.maxLinkBytes, 1 << 20);
  const tooLong = core.find("qqdl://" + "A".repeat(core.maxLinkBytes));
  assert.deepEqual(tooLong.map((r) => [r.outcome, r.tooLong, r.inputShown.length]), [["TooLong", true, 121]]);
  const record = core.unwrap("thunder:\\/\\/" + WRAP.thunder(Buffer.from("http://a/&amp;b")).slice(10).replaceAll("=", "%3D"),
                             { lenient: true });
  assert.deepEqual(record.repairs, ["percent-escapes", "json-escapes", "address-entities"]);
  const ids = core.repairs.map((r) => r.id);
  assert.deepEqual(record.repairs, ids.filter((id) => record.repairs.includes(id)));
});
