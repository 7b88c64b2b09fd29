// The page's script: loads the core, carries text into it and its rows out, and builds the DOM
// with textContent only. Which text is a link, how it is repaired, decoded, shown, encoded and
// whether it may be clicked is decided by the core; nothing here reads a link.
{
  const TEXTS = {
    zh: {
      title: "下载链接还原",
      decodeTitle: "还原地址",
      intro: "粘贴 thunder://、flashget:// 或 qqdl:// 链接，或者整页文字：其中的每个链接都会按顺序列出。也可以把 .txt 或 .html 文件拖到框里。全部在本机完成，不联网。",
      inputLabel: "链接或文字",
      fileLabel: "打开文件（.txt、.html）",
      strictLabel: "严格模式（与对话框相同，不修复）",
      charsetLabel: "字符集",
      charsetAuto: "自动",
      copyAsLabel: "复制为",
      copyAsText: "地址原样",
      copyAsOwn: "百分号编码（链接自身的字节，适合旧的 GBK 服务器）",
      copyAsUtf8: "百分号编码（UTF-8）",
      copyAll: "复制全部地址",
      encodeTitle: "生成链接",
      addressesLabel: "地址，每行一个",
      bytesLegend: "地址的字节",
      gbkOld: "GBK（旧链接）",
      footer: "地址按文本显示：控制字符和方向符号写作 \\xNN。只有 http、https、ftp、ed2k 和 magnet 地址可以点击。",
      language: "English",
      copy: "复制",
      copyRow: "复制第 {n} 个地址",
      copyLink: "复制{scheme}链接",
      copied: "已复制 {n} 行。",
      copyFailed: "无法写入剪贴板。",
      nothing: "没有可复制的地址。",
      line: "第 {n} 行",
      held: "这段文字有 {size} 个字符，框中只显示开头；其中的链接全部列在下面。",
      release: "清除",
      repaired: "已修复：",
      summary: "找到 {total} 项：{decoded} 个地址，{refused} 项无法还原。",
      progress: "正在还原……已列出 {done} 项",
      moreInRepair: "修复模式还能找到 {n} 个链接（协议名大小写不对）。",
      loadFailed: "无法加载解码模块。",
      ignored: "不是链接（其中没有“/”）",
      notalink: "不是 thunder://、flashget:// 或 qqdl:// 链接",
      empty: "链接中没有地址",
      toolong: "链接超过 1048576 字节，已跳过",
      hint: "修复模式可以还原它。",
      zero: "含有零字节，任何链接都无法携带",
      nogbk: "含有 GBK 无法表示的字符",
      notutf8: "不是 UTF-8 文本，无法转为 GBK",
      thunder: "迅雷",
      flashget: "快车",
      qqdl: "旋风",
      gbk: "GBK",
      utf8: "UTF-8",
      "scheme-case": "协议名大小写",
      "html-entities": "HTML 实体",
      "percent-escapes": "百分号转义（%3A %2F %2B %3D）",
      "url-safe-base64": "URL 安全的 Base64（- _）",
      "json-escapes": "JSON 转义（\\/）",
      "space-as-plus": "被换成空格的“+”",
      "whitespace-dropped": "内容中的换行或空格",
      "trailing-junk": "内容后粘连的字符",
      "missing-markers": "地址两端缺少的标记",
      "address-entities": "地址中的 HTML 实体",
      "gbk-reading": "按 GBK 读取（虽然也是合法的 UTF-8）",
    },
    en: {
      title: "download link decoder",
      decodeTitle: "Decode",
      intro: "Paste a thunder://, flashget:// or qqdl:// link, or a whole page's text: every link in it is listed in order. You can also drop a .txt or .html file on the box. Everything happens on this device; nothing goes online.",
      inputLabel: "Links or text",
      fileLabel: "Open a file (.txt, .html)",
      strictLabel: "Strict mode (as the dialog, no repairs)",
      charsetLabel: "Charset",
      charsetAuto: "Auto",
      copyAsLabel: "Copy as",
      copyAsText: "the address as shown",
      copyAsOwn: "percent-encoded from the link's own bytes (old GBK servers)",
      copyAsUtf8: "percent-encoded from UTF-8",
      copyAll: "Copy all addresses",
      encodeTitle: "Make links",
      addressesLabel: "Addresses, one per line",
      bytesLegend: "Bytes of the address",
      gbkOld: "GBK (old links)",
      footer: "Addresses are shown as text: controls and direction marks are written as \\xNN. Only http, https, ftp, ed2k and magnet addresses can be clicked.",
      language: "中文",
      copy: "Copy",
      copyRow: "Copy address {n}",
      copyLink: "Copy the {scheme} link",
      copied: "Copied {n} lines.",
      copyFailed: "Could not write to the clipboard.",
      nothing: "No address to copy.",
      line: "line {n}",
      held: "This text has {size} characters: the box shows its start only; all its links are listed below.",
      release: "Clear",
      repaired: "repaired: ",
      summary: "{total} found: {decoded} addresses, {refused} refused.",
      progress: "Decoding… {done} listed so far",
      moreInRepair: "Repair mode finds {n} more links (scheme in the wrong letter case).",
      loadFailed: "The decoder module could not be loaded.",
      ignored: "not a link (no '/' in it)",
      notalink: "not a thunder://, flashget:// or qqdl:// link",
      empty: "the link holds no address",
      toolong: "link longer than 1048576 bytes skipped",
      hint: "Repair mode would repair it.",
      zero: "holds a zero byte, which no link can carry",
      nogbk: "holds characters that GBK cannot encode",
      notutf8: "not valid UTF-8, so not converted to GBK",
      thunder: "Thunder",
      flashget: "FlashGet",
      qqdl: "Whirlwind",
    },
  };
  // The page decodes in tasks of a few milliseconds each, so that no paste, however long,
  // keeps it from answering: text goes into the core in pieces, rows come out a few at a time.
  const TASK_MS = 30;
  const PIECE_CHARS = 1 << 16;
  const ROWS_PER_CALL = 200;
  const ROWS_PER_PAGE = 60;  // rendered at a time, more as the list is scrolled near its end
  // Chromium lays out a text area's whole text, which takes it about a second per few MB: a
  // longer text is decoded whole but only its start is put in the box.
  const BOX_CHARS = 1 << 16;
  const PREVIEW_CHARS = 4000;
  const $ = (id) => document.getElementById(id);
  const UTF8 = new TextDecoder("utf-8", { fatal: true, ignoreBOM: true });
  const GB18030 = new TextDecoder("gb18030", { fatal: true });
  const ENCODER = new TextEncoder();

  let core = null;
  let language = "zh";
  let englishRepairs = {};
  const text = (key, values = {}) =>
    (TEXTS[language][key] ?? englishRepairs[key] ?? TEXTS.zh[key] ?? key)
      .replace(/\{(\w+)\}/g, (_, name) => String(values[name]));

  // --- the module and the converters it imports ---------------------------------------------

  const heap = () => new Uint8Array(core.memory.buffer);

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

  // GB18030 bytes of every code point (1, 2 or 4 bytes packed in one number), found once by
  // decoding every GB18030 code with the browser's decoder.
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
        try {
          const s = GB18030.decode(Uint8Array.of(lead, trail));
          if (s.length === 1) put(s.codePointAt(0), (lead << 8) | trail);
        } catch {}
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

  // Calls `name` with `bytes` copied into the module's memory, then further arguments.
  function call(name, bytes, ...args) {
    const at = core.vt_alloc(bytes.length || 1);
    heap().set(bytes, at);
    try {
      return core[name](at, bytes.length, ...args);
    } finally {
      core.vt_free(at);
    }
  }

  const result = () => UTF8.decode(heap().subarray(core.vt_result(), core.vt_result() + core.vt_result_size()));
  const records = () => result().split("\x1e").slice(0, -1).map((record) => record.split("\x1f"));

  // --- DOM helpers --------------------------------------------------------------------------

  function element(tag, className, content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (content !== undefined) node.textContent = content;
    return node;
  }

  function copyButton(label, getText) {
    const button = element("button", "copy", text("copy"));
    button.type = "button";
    button.setAttribute("aria-label", label);
    button.addEventListener("click", () => copy([getText()]));
    return button;
  }

  async function copy(lines) {
    if (lines.length === 0) {
      $("notice").textContent = text("nothing");
      return;
    }
    try {
      await navigator.clipboard.writeText(lines.join("\n"));
      $("notice").textContent = text("copied", { n: lines.length });
    } catch {
      $("notice").textContent = text("copyFailed");
    }
  }

  // --- decoding -----------------------------------------------------------------------------

  // A row: the core's fields, in its order.
  const F = { outcome: 0, line: 1, input: 2, scheme: 3, charset: 4, address: 5, repairs: 6,
              hint: 7, clickable: 8, percentOwn: 9, percentUtf8: 10 };
  let rows = [];
  let finished = true;
  let decodedCount = 0;
  let moreInRepair = 0;
  let shown = 0;
  let limit = ROWS_PER_PAGE;
  let job = 0;
  let nearEnd = false;
  let held = null;  // the text being decoded when it is too long for the box

  const copyForm = (row) => {
    const form = $("copy-as").value;
    return row[form === "own" ? F.percentOwn : form === "utf8" ? F.percentUtf8 : F.address];
  };

  function rowElement(row, index) {
    const decoded = row[F.outcome] === "decoded";
    const item = element("li", decoded ? "row" : "row refused");
    if (decoded) {
      let address;
      if (row[F.clickable] === "1") {
        address = element("a", "address", row[F.address]);
        address.href = row[F.percentUtf8];
        address.rel = "noopener noreferrer";
        address.target = "_blank";
      } else {
        address = element("span", "address", row[F.address]);
      }
      const meta = element("p", "meta");
      meta.append(element("span", "tag", text(row[F.scheme])),
                  element("span", "tag", text(row[F.charset])));
      for (const id of row[F.repairs] ? row[F.repairs].split(",") : []) {
        const tag = element("span", "tag repair", text("repaired") + text(id));
        tag.dataset.repair = id;
        meta.append(tag);
      }
      meta.append(element("span", "where", text("line", { n: row[F.line] })));
      item.append(address, copyButton(text("copyRow", { n: index + 1 }), () => copyForm(row)), meta);
    } else {
      item.append(element("p", "reason", text(row[F.outcome])));
      if (row[F.hint] === "1") item.append(element("p", "hint", text("hint")));
    }
    item.append(element("code", "input", row[F.input]));
    return item;
  }

  function fill() {
    const list = $("rows");
    const fragment = document.createDocumentFragment();
    for (; shown < rows.length && shown < limit; shown++) fragment.append(rowElement(rows[shown], shown));
    list.append(fragment);
  }

  function grow() {
    limit = shown + ROWS_PER_PAGE;
    fill();
    if (shown < rows.length) requestAnimationFrame(() => { if (nearEnd) grow(); });
  }

  function summarize() {
    const parts = [];
    const total = rows.length;
    if (!finished) parts.push(text("progress", { done: total }));
    else if (total > 0) parts.push(text("summary", { total, decoded: decodedCount, refused: total - decodedCount }));
    if (moreInRepair > 0) parts.push(text("moreInRepair", { n: moreInRepair }));
    $("summary").textContent = parts.join(" ");
  }

  const pause = () => globalThis.scheduler?.yield ? scheduler.yield() : new Promise((r) => setTimeout(r));

  // The end of the piece of `source` that starts at `at`, never inside a surrogate pair.
  function pieceEnd(source, at) {
    const end = Math.min(at + PIECE_CHARS, source.length);
    const last = source.charCodeAt(end - 1);
    return end < source.length && last >= 0xd800 && last < 0xdc00 ? end - 1 : end;
  }

  async function decode() {
    const id = ++job;
    const source = held ?? $("input").value;
    core.vt_decode_begin($("strict").checked ? 0 : 1, Number($("charset").value));
    rows = [];
    decodedCount = 0;
    moreInRepair = 0;
    shown = 0;
    limit = ROWS_PER_PAGE;
    finished = false;
    $("rows").replaceChildren();
    $("notice").textContent = "";
    let at = 0;
    let ended = false;
    while (!finished) {
      const taskStart = performance.now();
      do {
        if (core.vt_decode_next(ROWS_PER_CALL) > 0) {
          for (const row of records()) {
            rows.push(row);
            if (row[F.outcome] === "decoded") decodedCount++;
          }
        } else if (at < source.length) {
          const end = pieceEnd(source, at);
          call("vt_decode_feed", ENCODER.encode(source.slice(at, end)));
          at = end;
        } else if (!ended) {
          core.vt_decode_finish();
          moreInRepair = core.vt_decode_more_in_repair();
          ended = true;
        } else {
          finished = true;
        }
      } while (!finished && performance.now() - taskStart < TASK_MS);
      fill();
      summarize();
      if (finished) break;
      await pause();
      if (id !== job) return;
    }
    document.body.dataset.decoded = String(job);  // lets tests and the benchmark see the end
  }

  // --- encoding -----------------------------------------------------------------------------

  function encode() {
    const gbk = $("encode-gbk").checked ? 1 : 0;
    call("vt_encode", ENCODER.encode($("addresses").value), gbk);
    const list = $("encoded");
    list.replaceChildren();
    for (const [status, address, ...links] of records()) {
      const item = element("li", status === "ok" ? "row" : "row refused");
      item.append(element("code", "input", address));
      if (status !== "ok") item.append(element("p", "reason", text(status)));
      for (let i = 0; i + 1 < links.length; i += 2) {
        const [scheme, link] = [links[i], links[i + 1]];
        const line = element("p", "link");
        line.append(element("span", "tag", text(scheme)), element("code", "address", link),
                    copyButton(text("copyLink", { scheme: text(scheme) }), () => link));
        item.append(line);
      }
      list.append(item);
    }
  }

  // --- the page -----------------------------------------------------------------------------

  function applyLanguage() {
    document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
    for (const node of document.querySelectorAll("[data-i18n]")) node.textContent = text(node.dataset.i18n);
    $("language").textContent = text("language");
    $("language").lang = language === "zh" ? "en" : "zh-CN";
    document.title = "Veltrun " + text("title");
    $("rows").replaceChildren();
    const wanted = shown;
    shown = 0;
    limit = wanted;
    fill();
    summarize();
    showHeld();
    encode();
  }

  // Puts `content` in the box, or its start only when it is long; either way decodes it all.
  function setInput(content) {
    const box = $("input");
    held = content.length > BOX_CHARS ? content : null;
    box.readOnly = held !== null;
    box.value = held === null ? content : content.slice(0, PREVIEW_CHARS) + "\n…";
    $("held").hidden = held === null;
    showHeld();
    decode();
  }

  function showHeld() {
    if (held !== null)
      $("held-text").textContent = text("held", { size: held.length.toLocaleString(language === "zh" ? "zh-CN" : "en") });
  }

  function readFile(file) {
    file.arrayBuffer().then((buffer) => {
      call("vt_file_text", new Uint8Array(buffer));
      setInput(result());
    });
  }

  function start() {
    core.vt_repairs();
    englishRepairs = Object.fromEntries(records());
    core.vt_version();
    $("version").textContent = "Veltrun " + result();
    let scheduled = false;
    const later = () => {
      if (scheduled) return;
      scheduled = true;
      setTimeout(() => { scheduled = false; decode(); });
    };
    $("input").addEventListener("input", later);
    $("input").addEventListener("paste", (event) => {
      const pasted = event.clipboardData.getData("text/plain");
      if (held === null && pasted.length + $("input").value.length <= BOX_CHARS) return;
      event.preventDefault();
      setInput(pasted);
    });
    $("release").addEventListener("click", () => {
      setInput("");
      $("input").focus();
    });
    $("strict").addEventListener("change", decode);
    $("charset").addEventListener("change", decode);
    $("addresses").addEventListener("input", encode);
    for (const radio of document.getElementsByName("encode-bytes")) radio.addEventListener("change", encode);
    $("copy-all").addEventListener("click", () =>
      copy(rows.filter((row) => row[F.outcome] === "decoded").map(copyForm)));
    $("language").addEventListener("click", () => {
      language = language === "zh" ? "en" : "zh";
      applyLanguage();
    });
    $("file").addEventListener("change", (event) => {
      if (event.target.files.length > 0) readFile(event.target.files[0]);
    });
    const box = $("input");
    box.addEventListener("dragover", (event) => event.preventDefault());
    box.addEventListener("drop", (event) => {
      if (event.dataTransfer.files.length === 0) return;
      event.preventDefault();
      readFile(event.dataTransfer.files[0]);
    });
    new IntersectionObserver(([entry]) => {
      nearEnd = entry.isIntersecting;
      if (nearEnd) grow();
    }, { rootMargin: "0px 0px 800px 0px" }).observe($("more"));
    decode();
    encode();
    document.body.dataset.ready = "1";
  }

  const module = Uint8Array.from(atob(VELTRUN_WASM), (c) => c.charCodeAt(0));
  WebAssembly.instantiate(module, { env: { gb18030_to_utf8: gbToUtf8, utf8_to_gb18030: utf8ToGb } })
    .then(({ instance }) => {
      core = instance.exports;
      core._initialize();
      start();
    })
    .catch(() => { $("summary").textContent = text("loadFailed"); });
}
