// The content script of a chosen site: a marker beside each private link on the page, showing
// its real address. It reads text out of the page (every attribute, form fields' current values,
// text and inline scripts) and sends it to the extension, where the core finds and decodes the
// links; this script decides nothing about links. It works in short slices so that no page task
// grows long, never takes over a click, and takes everything away again when the site is
// turned off.
//
// A marker is an element of its own with a closed shadow root: the page's scripts cannot reach
// its contents, and its style sheet is its own.
(() => {
  "use strict";
  if (globalThis.veltrunMarks) return;  // injected again into a tab that has it
  globalThis.veltrunMarks = true;

  // The longest this script works in one task: well below the 50 ms of a long task, yet long
  // enough that a large page is laid out again only a few dozen times.
  const SLICE_MS = 30;
  const BATCH_PIECES = 2000;  // texts sent to the extension at once
  const BATCH_CHARS = 1 << 20;
  const SETTLE_MS = 100;  // changes are gathered this long before they are read
  const ORIGINAL = "data-veltrun-href";  // where a rewritten link's own href is kept
  const TAG = "veltrun-mark";
  // Where a marker cannot stand beside its element, it stands beside this ancestor.
  const HOLDERS = "a, button, label, select, summary, textarea";
  // Elements whose text is not shown as text: a marker for it stands beside the element.
  const UNSHOWN = new Set(["script", "style", "noscript", "template", "title", "textarea", "xmp", "iframe",
                           "noembed", "noframes"]);

  const say = (name) => chrome.i18n.getMessage(name);
  const state = {
    on: true,
    rewrite: false,
    aria2: false,
    reading: [],  // nodes still to read: {node, deep}
    walker: null,  // the walk through the node being read deep
    batch: { pieces: [], places: [], chars: 0 },
    waiting: 0,  // batches sent, not yet answered
    marking: [],  // answers to put on the page: {place, marks}
    marks: new Map(),  // anchor element or text -> {host, list, seen}
    rewritten: new Map(),  // element -> the href this script gave it
    timer: 0,  // the next slice, which abort() cancels
    observer: null,
    shadows: new WeakSet(),  // the page's open shadow roots being watched
  };
  const WATCH = { childList: true, subtree: true, attributes: true, characterData: true };

  // The markers' elements, known by identity, not by name: a page's own element of the same name
  // is read as any other.
  const hosts = new WeakSet();
  const isOurs = (node) => hosts.has(node);

  // --- the marker --------------------------------------------------------------------------------

  // One style sheet for every marker, adopted by each shadow root: a constructed sheet, which a
  // page's CSP leaves alone. Its !important rules for :host outrank any rule of the page's for
  // the marker's element, and `all: initial` keeps the page's inherited styles out.
  const SHEET = `
    :host { all: initial !important; display: inline-block !important; visibility: visible !important;
      opacity: 1 !important; position: static !important; margin: 0 0.25em !important;
      vertical-align: baseline !important; pointer-events: auto !important; max-width: 100% !important; }
    .list { display: inline-flex; flex-direction: column; gap: 2px; font: 12px/1.4 system-ui, sans-serif;
      color: #1a1a1a; background: #fffbe6; border: 1px solid #c9a200; border-radius: 3px; padding: 1px 4px; }
    .row { display: flex; flex-wrap: wrap; align-items: center; gap: 4px; }
    .tag { color: #5a4a00; border: 1px solid #c9a200; border-radius: 2px; padding: 0 3px; font-size: 11px; }
    .address { font-family: ui-monospace, monospace; word-break: break-all; user-select: all; }
    .reason { color: #8a1c1c; }
    .detail { font-family: ui-monospace, monospace; word-break: break-all; }
    button { font: inherit; font-size: 11px; color: #1a1a1a; background: #fff; border: 1px solid #888;
      border-radius: 2px; padding: 0 4px; cursor: pointer; }
    .notice { color: #5a4a00; }`;
  let sheet = null;

  function styled(tag, className, text) {
    const node = document.createElement(tag);
    node.className = className;
    if (text !== undefined) node.textContent = text;
    return node;
  }

  // Copies through the clipboard API where the page allows it; elsewhere (plain http sites, a
  // page whose permissions policy refuses it) through a text area in the marker's own shadow
  // root, whose copy event the page could still see and change, as it can any copy made on it.
  async function copy(text, notice, root) {
    let copied = false;
    if (navigator.clipboard) copied = await navigator.clipboard.writeText(text).then(() => true, () => false);
    if (!copied) {
      const box = document.createElement("textarea");
      box.value = text;
      root.append(box);
      box.select();
      copied = document.execCommand("copy");
      box.remove();
    }
    notice.textContent = say(copied ? "markCopied" : "markCopyFailed");
  }

  // A button whose press only the user can make: the page cannot reach it, and a synthetic
  // event is ignored. The press stays with the marker: no handler of the page sees it.
  function button(className, caption, label, onPress) {
    const node = styled("button", className, caption);
    node.type = "button";
    node.setAttribute("aria-label", label);
    node.addEventListener("click", (event) => {
      event.stopPropagation();
      if (event.isTrusted) onPress();
    });
    return node;
  }

  function markRow(mark, root) {
    const row = styled("span", "row");
    for (const tag of mark.tags) row.append(styled("span", "tag", tag));
    if (mark.address === null) {
      // A link read as no address: named, with what it decodes to, and never offered.
      row.append(styled("span", "reason", mark.reason), styled("span", "detail", mark.detail));
      return row;
    }
    const notice = styled("span", "notice");
    notice.setAttribute("role", "status");
    row.append(styled("span", "address", mark.address));
    row.append(button("copy", say("markCopy"), say("markCopy") + " " + mark.address, () => copy(mark.copy, notice, root)));
    if (state.aria2) {
      row.append(button("send", say("sendToAria2"), say("sendToAria2") + " " + mark.address, async () => {
        notice.textContent = say("aria2Sending");
        const answer = await chrome.runtime.sendMessage({ type: "veltrun-aria2", input: mark.input }).catch(() => null);
        notice.textContent = answer?.words ?? say("aria2_refused");
      }));
    }
    row.append(notice);
    return row;
  }

  // Where the marker of a text found in `node` stands: beside the node, or beside the link,
  // button or box that holds it, so that it is never inside something the page makes clickable.
  // What lies outside the body (the head's scripts) is marked at the body's start.
  function anchorOf(node) {
    const element = node.nodeType === Node.ELEMENT_NODE ? node : node.parentElement;
    const body = document.body;
    const inShadow = element?.getRootNode() instanceof ShadowRoot;  // a page's open shadow root
    if (!body || !element || element === body || (!inShadow && !body.contains(element))) return body;
    const option = element.closest("option, optgroup");
    if (option) return option.closest("select") ?? body;
    const holder = element.closest(HOLDERS);
    if (holder) return holder;
    return node.nodeType === Node.TEXT_NODE && UNSHOWN.has(element.localName) ? element : node;
  }

  function place(anchor) {
    let entry = state.marks.get(anchor);
    if (entry?.host.isConnected) return entry;  // a marker the page took away is made again
    const host = document.createElement(TAG);
    hosts.add(host);
    const root = host.attachShadow({ mode: "closed" });
    if (sheet === null) {
      sheet = new CSSStyleSheet();
      sheet.replaceSync(SHEET);
    }
    root.adoptedStyleSheets = [sheet];
    const list = styled("span", "list");
    list.setAttribute("role", "group");
    list.setAttribute("aria-label", say("markLabel"));
    root.append(list);
    if (anchor === document.body) anchor.prepend(host);
    else anchor.after(host);
    entry = { host, root, list, seen: new Set() };
    state.marks.set(anchor, entry);
    return entry;
  }

  function rewrite(element, mark) {
    if (!state.rewrite || mark.href === null || state.rewritten.has(element)) return;
    if (element.getAttribute("href") !== mark.input) return;  // the link is not the whole href
    element.setAttribute(ORIGINAL, mark.input);
    element.setAttribute("href", mark.href);
    state.rewritten.set(element, mark.href);
  }

  function apply({ place: where, marks }) {
    if (!where.node.isConnected) return;
    const entry = place(where.anchor);
    for (const mark of marks) {
      const key = mark.input + "\0" + mark.address;
      if (entry.seen.has(key)) continue;
      entry.seen.add(key);
      entry.list.append(markRow(mark, entry.root));
      if (where.href) rewrite(where.node, mark);
    }
  }

  // --- reading the page --------------------------------------------------------------------------


  function add(piece, place) {
    if (piece.trim() === "") return;
    const { batch } = state;
    batch.pieces.push(piece);
    batch.places.push(place);
    batch.chars += piece.length;
    if (batch.pieces.length >= BATCH_PIECES || batch.chars >= BATCH_CHARS) send();
  }

  // The texts of one element: its attributes, and a form field's current value; an open shadow
  // root of the page's is read and watched as the document is.
  function readElement(element) {
    if (isOurs(element)) return;
    if (element.shadowRoot && !state.shadows.has(element.shadowRoot)) {
      state.shadows.add(element.shadowRoot);
      state.reading.push({ node: element.shadowRoot, deep: true });
      state.observer?.observe(element.shadowRoot, WATCH);
    }
    const anchor = anchorOf(element);
    for (const attribute of element.attributes) {
      if (attribute.name === ORIGINAL) continue;
      add(attribute.value, { node: element, anchor, href: attribute.name === "href" });
    }
    const field = element.localName === "input" || element.localName === "textarea";
    if (field && element.type !== "password" && element.type !== "file" &&
        (element.localName === "textarea" || element.value !== element.getAttribute("value"))) {
      add(element.value, { node: element, anchor, href: false });
    }
  }

  function readNode(node) {
    if (node.nodeType === Node.ELEMENT_NODE) readElement(node);
    else if (node.nodeType === Node.TEXT_NODE && node.parentElement?.localName !== "textarea") {
      add(node.data, { node, anchor: anchorOf(node), href: false });
    }
  }

  const skipOurs = { acceptNode: (n) => (isOurs(n) ? NodeFilter.FILTER_REJECT : NodeFilter.FILTER_ACCEPT) };

  // Reads until the slice's time is up; returns whether anything is left to read.
  function read(deadline) {
    while (performance.now() < deadline) {
      if (state.walker) {
        const node = state.walker.nextNode();
        if (node) readNode(node);
        else state.walker = null;
        continue;
      }
      const next = state.reading.shift();
      if (!next) return false;
      if (!next.node.isConnected || isOurs(next.node)) continue;
      readNode(next.node);
      if (next.deep && next.node.firstChild !== null) {
        state.walker = document.createTreeWalker(next.node, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, skipOurs);
      }
    }
    return true;
  }

  function send() {
    const { pieces, places } = state.batch;
    state.batch = { pieces: [], places: [], chars: 0 };
    if (pieces.length === 0) return;
    state.waiting++;
    chrome.runtime.sendMessage({ type: "veltrun-find", pieces }).then((answer) => {
      state.waiting--;
      if (!state.on || !Array.isArray(answer?.marks)) return;
      answer.marks.forEach((marks, i) => { if (marks.length > 0) state.marking.push({ place: places[i], marks }); });
      schedule(0);
    }, () => { state.waiting--; });
  }

  // One slice: reading first (it is quick, and the core works on what it sent meanwhile), then
  // markers.
  function work() {
    state.timer = 0;
    if (!state.on) return;
    const deadline = performance.now() + SLICE_MS;
    const more = read(deadline);
    if (!more) send();
    let i = 0;
    while (i < state.marking.length && performance.now() < deadline) apply(state.marking[i++]);
    state.marking.splice(0, i);
    // Our own changes are no news for the observer.
    state.observer?.takeRecords();
    if (more || state.marking.length > 0) schedule(0);
  }

  // A slice after `delay` ms; an immediate one through the task scheduler where there is one,
  // since nested timers are held back by 4 ms each.
  function schedule(delay) {
    if (state.timer !== 0 || !state.on) return;
    if (delay === 0 && globalThis.scheduler?.postTask) {
      const controller = new AbortController();
      state.timer = controller;
      scheduler.postTask(work, { signal: controller.signal }).catch(() => {});
    } else {
      const id = setTimeout(work, delay);
      state.timer = { abort: () => clearTimeout(id) };
    }
  }

  function noticeChanges(records) {
    for (const record of records) {
      if (record.type === "childList") {
        for (const node of record.addedNodes) if (!isOurs(node)) state.reading.push({ node, deep: true });
      } else if (record.type === "attributes") {
        if (record.attributeName !== ORIGINAL) state.reading.push({ node: record.target, deep: false });
      } else {
        state.reading.push({ node: record.target, deep: false });
      }
    }
    schedule(SETTLE_MS);
  }

  // --- on and off --------------------------------------------------------------------------------

  function off() {
    state.on = false;
    state.observer?.disconnect();
    if (state.timer !== 0) state.timer.abort();
    for (const { host } of state.marks.values()) host.remove();
    for (const [element, given] of state.rewritten) {
      if (element.getAttribute("href") === given) element.setAttribute("href", element.getAttribute(ORIGINAL));
      element.removeAttribute(ORIGINAL);
    }
    state.marks.clear();
    state.rewritten.clear();
    Object.assign(state, { reading: [], walker: null, marking: [] });
  }

  chrome.runtime.onMessage.addListener((message, sender) => {
    // Only the extension's own pages turn it off (a page cannot send to a content script, and
    // another tab's content script has the page's address, not the extension's).
    const fromExtension = sender.id === chrome.runtime.id && String(sender.url).startsWith(chrome.runtime.getURL(""));
    if (fromExtension && message?.type === "veltrun-off") off();
    return false;
  });

  async function start() {
    const hello = await chrome.runtime.sendMessage({ type: "veltrun-hello" }).catch(() => null);
    if (!hello || !state.on) return;  // not a chosen site (any more)
    state.rewrite = hello.rewrite === true;
    state.aria2 = hello.aria2 === true;
    state.observer = new MutationObserver(noticeChanges);
    state.observer.observe(document, WATCH);
    if (document.documentElement) state.reading.push({ node: document.documentElement, deep: true });
    schedule(0);
  }

  // The page's own load comes first.
  if (document.readyState === "complete") start();
  else window.addEventListener("load", start, { once: true });
})();
