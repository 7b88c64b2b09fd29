// The one JavaScript module over the core in WebAssembly, shared by the page, the extension and
// the npm package. It loads the module, gives it the GB18030 conversions it imports, carries
// text in and named records out, and checks what callers pass. It touches no DOM and reads no
// link: which text is a link, how it is repaired, decoded and shown is the core's decision.
"use strict";

const UTF8 = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true });
// Made by loadCore, which says so when the platform lacks GB18030 (Node built without full ICU).
let GB18030 = null;
const ENCODER = new TextEncoder();
const PIECE_CHARS = 1 << 16;  // find() feeds a text in pieces this long

// --- GB18030 from UTF-8 -----------------------------------------------------------------------

// GB18030 bytes of every code point (1, 2 or 4 bytes packed in one number), found once by
// decoding every GB18030 code with the platform's decoder, which has no encoder for it.
const NONE = 0xffffffff;
let gbCodes = null;

function gbCodeTable() {
  if (gbCodes !== null) return gbCodes;
  const table = new Uint32Array(0x110000).fill(NONE);
  const put = (codePoint, code) => {
    if (codePoint !== 0xfffd && table[codePoint] === NONE) table[codePoint] = code >>> 0;
  };
  const loose = new TextDecoder("gb18030");
  const single = loose.decode(Uint8Array.from({ length: 0x80 }, (_, b) => b));
  for (let b = 0; b < 0x80; b++) put(single.codePointAt(b), b);
  for (let lead = 0x81; lead <= 0xfe; lead++) {
    for (let trail = 0x40; trail <= 0xfe; trail++) {
      if (trail === 0x7f) continue;
      let s;
      try {
        s = GB18030.decode(Uint8Array.of(lead, trail));
      } catch {
        continue;  // no character has this code
      }
      if (s.length === 1) put(s.codePointAt(0), (lead << 8) | trail);
    }
  }
  // Every four-byte code decodes to exactly one character (U+FFFD if unassigned).
  const codes = new Uint8Array(126 * 10 * 126 * 10 * 4);
  let k = 0;
  for (let a = 0x81; a <= 0xfe; a++)
    for (let b = 0x30; b <= 0x39; b++)
      for (let c = 0x81; c <= 0xfe; c++)
        for (let d = 0x30; d <= 0x39; d++) {
          codes[k++] = a; codes[k++] = b; codes[k++] = c; codes[k++] = d;
        }
  const decoded = loose.decode(codes);
  let at = 0;
  for (let i = 0; i < codes.length; i += 4) {
    const codePoint = decoded.codePointAt(at);
    at += codePoint > 0xffff ? 2 : 1;
    put(codePoint, (codes[i] << 24) | (codes[i + 1] << 16) | (codes[i + 2] << 8) | codes[i + 3]);
  }
  gbCodes = table;
  return table;
}

// --- checking what callers pass ----------------------------------------------------------------

// `value` as it may go into the module: a string (encoded on the way in) or bytes.
function inputOf(value, name) {
  if (typeof value === "string" || value instanceof Uint8Array) return value;
  throw new TypeError(`Veltrun: ${name} must be a string or a Uint8Array`);
}

function bytesOf(value, name) {
  value = inputOf(value, name);
  return typeof value === "string" ? ENCODER.encode(value) : value;
}

// `options` with each of `defaults`' keys checked and filled in; an unknown key is refused, since
// it is most likely a misspelt one.
function optionsOf(options, defaults, check) {
  if (options === undefined) options = {};
  if (options === null || typeof options !== "object")
    throw new TypeError("Veltrun: options must be an object");
  for (const key of Object.keys(options)) {
    if (!(key in defaults))
      throw new TypeError(`Veltrun: unknown option "${key}" (known: ${Object.keys(defaults).join(", ")})`);
  }
  const result = { ...defaults, ...options };
  for (const [key, value] of Object.entries(result)) check(key, value);
  return result;
}

function checkBoolean(key, value) {
  if (typeof value !== "boolean") throw new TypeError(`Veltrun: option "${key}" must be true or false`);
}

// The index of `value` in `names`, which the core listed.
function indexIn(names, value, what) {
  const index = names.indexOf(value);
  if (typeof value !== "string" || index < 0)
    throw new TypeError(`Veltrun: unknown ${what} ${JSON.stringify(value)} (known: ${names.join(", ")})`);
  return index;
}

function bytesFromBase64(base64) {
  const binary = atob(base64);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

async function moduleOf(wasm) {
  wasm = await wasm;
  if (typeof Response !== "undefined" && wasm instanceof Response) {
    if (!wasm.ok) throw new Error(`fetching ${wasm.url || "the module"} gave HTTP ${wasm.status}`);
    wasm = await wasm.arrayBuffer();
  }
  if (wasm instanceof WebAssembly.Module) return wasm;
  if (!(wasm instanceof ArrayBuffer || ArrayBuffer.isView(wasm)))
    throw new TypeError("expected an ArrayBuffer, a Uint8Array, a WebAssembly.Module or a Response");
  return WebAssembly.compile(wasm);
}

const EXPORTS = ["memory", "_initialize", "vt_alloc", "vt_free", "vt_result", "vt_result_size",
                 "vt_info", "vt_unwrap", "vt_decode_begin", "vt_decode_end", "vt_decode_feed",
                 "vt_decode_finish", "vt_decode_next", "vt_find_each", "vt_render", "vt_wrap", "vt_encode", "vt_file_text"];

// --- the core ------------------------------------------------------------------------------------

// Loads the core from `wasm` (an ArrayBuffer, a Uint8Array, a WebAssembly.Module, a Response or a
// promise of one) and returns its interface. Rejects with an Error that says what failed.
export async function loadCore(wasm) {
  let exports;
  try {
    GB18030 ??= new TextDecoder("gb18030", { fatal: true });
    const instance = await WebAssembly.instantiate(await moduleOf(wasm), {
      env: { gb18030_to_utf8: gbToUtf8, utf8_to_gb18030: utf8ToGb },
    });
    exports = instance.exports;
    const missing = EXPORTS.filter((name) => !(name in exports));
    if (missing.length > 0) throw new Error("it lacks " + missing.join(", "));
    exports._initialize();
  } catch (error) {
    throw new Error("Veltrun: the core could not be loaded: " + error.message, { cause: error });
  }
  const core = exports;
  const heap = () => new Uint8Array(core.memory.buffer);
  let broken = null;  // what stopped the module: its state is not to be trusted after a trap

  // --- the conversions the module imports ---

  function writeInto(string, out, capacity) {
    const { read, written } = ENCODER.encodeInto(string, heap().subarray(out, out + capacity));
    return read === string.length ? written : -1;
  }

  // The text of `length` bytes at `input`, or null when they are not well-formed.
  function readAt(decoder, input, length) {
    try {
      return decoder.decode(heap().subarray(input, input + length));
    } catch {
      return null;
    }
  }

  function gbToUtf8(input, length, out, capacity) {
    const string = readAt(GB18030, input, length);
    return string === null ? -1 : writeInto(string, out, capacity);
  }

  function utf8ToGb(input, length, out, capacity) {
    const string = readAt(UTF8, input, length);
    if (string === null) return -1;
    const table = gbCodeTable();
    const bytes = heap();
    let n = 0;
    for (const character of string) {
      const code = table[character.codePointAt(0)];
      const width = code === NONE ? 0 : code < 0x80 ? 1 : code < 0x10000 ? 2 : 4;
      if (width === 0 || n + width > capacity) return -1;
      for (let shift = (width - 1) * 8; shift >= 0; shift -= 8) bytes[out + n++] = (code >>> shift) & 0xff;
    }
    return n;
  }

  // --- calls ---

  // Runs `call` on the module; a trap ends the core for good.
  function guarded(call) {
    if (broken !== null) throw new Error("Veltrun: the core stopped after an earlier failure", { cause: broken });
    try {
      return call();
    } catch (error) {
      if (error instanceof WebAssembly.RuntimeError) broken = error;
      throw error;
    }
  }

  // Calls `name` with `input` (bytes, or a string as UTF-8) put into the module's memory, then
  // further arguments. A string is encoded straight into that memory: encoding it apart first
  // costs a copy of every piece of a long paste. Its UTF-8 takes at most 3 bytes a UTF-16 unit
  // (a lone surrogate becomes U+FFFD, as TextEncoder.encode makes it).
  function withBytes(name, input, ...args) {
    return guarded(() => {
      const text = typeof input === "string";
      const capacity = (text ? input.length * 3 : input.length) || 1;
      const at = core.vt_alloc(capacity);
      if (at === 0) throw new RangeError("Veltrun: out of memory for " + capacity + " bytes");
      let length = input.length;
      if (text) length = ENCODER.encodeInto(input, heap().subarray(at, at + capacity)).written;
      else heap().set(input, at);
      try {
        return core[name](at, length, ...args);
      } finally {
        core.vt_free(at);
      }
    });
  }

  const resultText = () => UTF8.decode(heap().subarray(core.vt_result(), core.vt_result() + core.vt_result_size()));
  const result = () => JSON.parse(resultText());

  // A record as the core wrote it, with its address bytes as bytes, holding the fields the core
  // lists (vt_info's recordFields) in its order. Its first fields are those of `veltrun --json`:
  // input, line (null for a link given whole), scheme, outcome ("Decoded", "NotALink", "Ignored",
  // in repair mode "NotAnAddress" or "CutShort", or "TooLong" for a link longer than
  // maxLinkBytes, not read), address, charset, bytes (a Uint8Array here), repairs (ids) and
  // detail (what a NotAnAddress or CutShort link decodes to, else null). Then, for rows:
  // inputShown (the excerpt a row shows),
  // tooLong, repairWouldDecode (strict mode: repair mode reads this one), openable, addressShown
  // (controls and direction marks as \xNN; null when there is no address), percentOwn and
  // percentUtf8 (percent-encoded from the link's own bytes, from the text read).
  //
  // bytes is decoded from Base64 when first read, and the core leaves out an address's three
  // renderings, to make them when one is first read, for every record of the same call at once:
  // a long list shows and copies few of its rows. They are enumerable getters, so
  // structuredClone and JSON read them as fields. The getters are shared and keep what they made
  // in the record itself, out of sight: a getter made per record would cost a closure each and
  // turn every record into a slow dictionary.
  const BYTES = Symbol("bytes");         // the Base64 text, then the bytes
  const RENDERED = Symbol("rendered");  // the records of its call still to render, then its own
  function bytesOfRecord() {
    const held = this[BYTES];
    return typeof held === "string" ? (this[BYTES] = bytesFromBase64(held)) : held;
  }
  function renderAll(pending) {
    const parts = pending.map((record) => record.bytes);
    const joined = new Uint8Array(parts.reduce((n, part) => n + 5 + part.length, 0));
    const lengths = new DataView(joined.buffer);
    let at = 0;
    pending.forEach((record, i) => {
      lengths.setUint32(at, parts[i].length, true);
      joined[at + 4] = indexIn(charsets, record.charset);
      joined.set(parts[i], at + 5);
      at += 5 + parts[i].length;
    });
    withBytes("vt_render", joined);
    result().forEach((made, i) => { pending[i][RENDERED] = made; });
    pending.length = 0;  // its records no longer hold one another
  }
  function rendered(record) {
    if (Array.isArray(record[RENDERED])) renderAll(record[RENDERED]);
    return record[RENDERED];
  }
  const getter = (get) => ({ enumerable: true, get });
  const HIDDEN = { writable: true, value: null };
  const BYTES_FIELD = getter(bytesOfRecord);
  let FIELDS = null;      // the core's list of a record's fields, in order (vt_info)
  let RENDERINGS = null;  // a getter for each field the core renders when first read

  // The record of `raw`, one of the records of a call into the core, whose records that have an
  // address to render are gathered in `pending`. Its fields are the core's, in the core's order.
  function recordOf(raw, pending) {
    const record = {};
    const render = raw.addressShown === undefined;
    for (const { name, scope } of FIELDS) {
      if (name === "bytes" && raw.bytes !== null) Object.defineProperty(record, name, BYTES_FIELD);
      else if (render && scope === "rendered") Object.defineProperty(record, name, RENDERINGS[name]);
      else record[name] = raw[name];
    }
    Object.defineProperty(record, BYTES, HIDDEN)[BYTES] = raw.bytes;
    Object.defineProperty(record, RENDERED, HIDDEN);
    if (render) {
      record[RENDERED] = pending;
      pending.push(record);
    }
    return record;
  }

  // The records of the latest call's result, a JSON array of the core's records.
  const recordsOf = (raws) => {
    const pending = [];
    return raws.map((raw) => recordOf(raw, pending));
  };

  guarded(() => core.vt_info());
  const info = result();
  const repairs = Object.freeze(info.repairs.map((repair) => Object.freeze(repair)));
  const schemes = Object.freeze(info.schemes);
  const charsets = Object.freeze(info.charsets);
  FIELDS = Object.freeze(info.recordFields.map((field) => Object.freeze(field)));
  RENDERINGS = Object.fromEntries(FIELDS.filter(({ scope }) => scope === "rendered").map(({ name }) =>
    [name, getter(function () { return rendered(this)[name]; })]));

  const readOptions = (options, defaults = { lenient: false, charset: "auto" }) => optionsOf(options, defaults, (key, value) => {
    if (key === "charset") indexIn(charsets, value, "charset");
    else checkBoolean(key, value);
  });
  const textOptions = (options) => readOptions(options, { lenient: false, charset: "auto", wholeIfNone: true });

  // The record of one link given whole, as the CLI reads one given as an argument.
  function unwrap(link, options) {
    const bytes = inputOf(link, "link");
    const { lenient, charset } = readOptions(options);
    withBytes("vt_unwrap", bytes, lenient ? 1 : 0, indexIn(charsets, charset));
    return recordOf(result(), []);
  }

  // Frees the sessions of decoders dropped before they were done.
  const sessions = typeof FinalizationRegistry === "undefined" ? null
    : new FinalizationRegistry((session) => {
      try {
        guarded(() => core.vt_decode_end(session));
      } catch {}  // nobody to tell: the next call says the core stopped
    });

  // find() in pieces, so a long text never blocks: feed(), finish(), then next() until it gives
  // fewer records than asked. Several decoders may be open at once.
  function decoder(options) {
    const { lenient, charset, wholeIfNone } = textOptions(options);
    let session = guarded(() => core.vt_decode_begin(lenient ? 1 : 0, indexIn(charsets, charset), wholeIfNone ? 1 : 0));
    if (session === 0) throw new RangeError("Veltrun: out of memory for a decoder");
    let finished = false;
    let more = null;
    let pending = "";  // a high surrogate that ended a piece, whose pair starts the next

    const live = () => {
      if (session === 0) throw new Error("Veltrun: this decoder was closed");
    };
    const close = () => {
      if (session === 0) return;
      sessions?.unregister(api);
      const ended = session;
      session = 0;
      if (broken === null) guarded(() => core.vt_decode_end(ended));
    };

    const api = Object.freeze({
      // Gives the next piece of the text; where the pieces are cut changes nothing.
      feed(piece) {
        live();
        if (finished) throw new Error("Veltrun: feed() after finish()");
        if (typeof piece !== "string") {
          const bytes = inputOf(piece, "piece");
          if (pending !== "") withBytes("vt_decode_feed", pending, session);  // a lone half
          pending = "";
          withBytes("vt_decode_feed", bytes, session);
          return;
        }
        let text = pending + piece;
        const last = text.charCodeAt(text.length - 1);
        pending = last >= 0xd800 && last < 0xdc00 ? text.slice(-1) : "";
        if (pending !== "") text = text.slice(0, -1);
        withBytes("vt_decode_feed", text, session);
      },
      // Ends the text.
      finish() {
        live();
        if (finished) return;
        if (pending !== "") withBytes("vt_decode_feed", pending, session);
        guarded(() => core.vt_decode_finish(session));
        more = Object.freeze(result());
        finished = true;
      },
      // The records of the links found so far, at most `max`, in text order. Once finish() was
      // called and every record taken, the decoder frees what it holds.
      next(max = Infinity) {
        if (session === 0 && finished) return [];
        live();
        if (!(typeof max === "number" && max >= 1)) throw new TypeError("Veltrun: next(max) takes a number of 1 or more");
        const count = Math.min(max, 0x7fffffff);
        const taken = guarded(() => core.vt_decode_next(session, count));
        const records = recordsOf(result());
        if (finished && taken < count) close();
        return records;
      },
      // After finish(): {count, text}, how many more links repair mode would find and why
      // (count 0 in repair mode); null before.
      get moreInRepair() {
        return more;
      },
      // Frees the decoder before its end; a closed decoder takes no more calls.
      close,
    });
    sessions?.register(api, session, api);
    return api;
  }

  // The records of every link in a whole text, as the CLI reads standard input.
  function find(text, options) {
    const bytes = typeof text === "string" ? null : bytesOf(text, "text");
    const d = decoder(options);
    try {
      const records = [];
      const take = () => { for (let r = d.next(); r.length > 0; r = d.next()) records.push(...r); };
      if (bytes !== null) {
        for (let at = 0; at < bytes.length; at += PIECE_CHARS * 4) {
          d.feed(bytes.subarray(at, at + PIECE_CHARS * 4));
          take();
        }
      } else {
        for (let at = 0; at < text.length; at += PIECE_CHARS) {
          d.feed(text.slice(at, at + PIECE_CHARS));
          take();
        }
      }
      d.finish();
      take();
      return records;
    } finally {
      d.close();
    }
  }

  // find() for each of many short texts (a page's text nodes and attributes), each read on its
  // own, in one call into the core: [records of texts[0], records of texts[1], ...].
  function findEach(texts, options) {
    if (!Array.isArray(texts)) throw new TypeError("Veltrun: findEach() takes an array of texts");
    const { lenient, charset, wholeIfNone } = textOptions(options);
    const parts = texts.map((text, i) => bytesOf(text, `texts[${i}]`));
    const joined = new Uint8Array(parts.reduce((n, part) => n + 4 + part.length, 0));
    const lengths = new DataView(joined.buffer);
    let at = 0;
    for (const part of parts) {
      lengths.setUint32(at, part.length, true);
      joined.set(part, at + 4);
      at += 4 + part.length;
    }
    withBytes("vt_find_each", joined, lenient ? 1 : 0, indexIn(charsets, charset), wholeIfNone ? 1 : 0);
    const pending = [];
    return result().map((records) => records.map((raw) => recordOf(raw, pending)));
  }

  const encodeOptions = (options, defaults) => optionsOf(options, defaults, (key, value) => {
    if (key === "gbk") checkBoolean(key, value);
    else indexIn(["utf8", "gbk"], value, "charset for a link's bytes");
  });

  // The link of `scheme` for `address`, from its UTF-8 bytes or (charset "gbk") its GB18030 ones;
  // throws a RangeError whose reason names why when no link can carry it.
  function wrap(address, scheme, options) {
    const bytes = inputOf(address, "address");
    const index = indexIn(schemes, scheme, "scheme");
    const { charset } = encodeOptions(options, { charset: "utf8" });
    withBytes("vt_wrap", bytes, index, charset === "gbk" ? 1 : 0);
    const made = result();
    if (made.refusal !== undefined) {
      const error = new RangeError(`Veltrun: no ${scheme} link can carry this address (${made.refusal})`);
      error.reason = made.refusal;
      throw error;
    }
    return made.link;
  }

  // The three links of each non-blank line of `text`: [{status ("ok" or wrap's reason), input
  // (the line as a row shows it), links: [{scheme, link}]}].
  function encode(text, options) {
    const bytes = inputOf(text, "text");
    const { gbk } = encodeOptions(options, { gbk: false });
    withBytes("vt_encode", bytes, gbk ? 1 : 0);
    return result();
  }

  // The text of a file's bytes: UTF-8 if they are, else GB18030, U+FFFD for what starts no
  // character.
  function fileText(bytes) {
    if (!(bytes instanceof Uint8Array)) throw new TypeError("Veltrun: fileText() takes a Uint8Array");
    withBytes("vt_file_text", bytes);
    return resultText();
  }

  return Object.freeze({
    version: info.version,
    maxLinkBytes: info.maxLinkBytes,
    recordFields: FIELDS,
    repairs,
    schemes,
    charsets,
    unwrap,
    find,
    findEach,
    decoder,
    wrap,
    encode,
    fileText,
  });
}
