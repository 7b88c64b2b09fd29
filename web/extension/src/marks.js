// The content script of a chosen site: a marker beside each private link on the page, showing
// its real address. It reads the text page-text.js says counts (every attribute, form fields'
// current values, text and inline scripts) piece by piece and sends it to the extension, where the core finds and decodes the
// links; this script decides nothing about links. It works in short slices so that no page task
// grows long, never takes over a click, and takes everything away again when the site is
// turned off.
//
// Every page is taken to be hostile. A marker's host is a plain span, which no page can define
// or upgrade as a custom element (so no page gets its ElementInternals), with a closed shadow
// root and its own style sheet; a marker the page removes or moves is put back. A click the page
// may have staged (a marker made nearly transparent, or covered) reaches beyond the page only
// after the user confirms it in the extension's own list tab.
(() => {
  "use strict";
  // Injected again into a tab that has it (the site turned on again): the script it has starts
  // again where it was turned off.
  if (globalThis.veltrunMarks) {
    globalThis.veltrunMarks();
    return;
  }

  // The longest this script works in one task: well below the 50 ms of a long task, yet long
  // enough that a large page is laid out again only a few dozen times.
  const SLICE_MS = 30;
  const BATCH_PIECES = 2000;  // texts sent to the extension at once
  const BATCH_CHARS = 1 << 20;
  const IN_FLIGHT = 2;  // batches sent and not yet answered; reading waits beyond this
  const SETTLE_MS = 100;  // changes are gathered this long before they are read
  const BUSY_MS = 1000;  // the wait after the extension said it is busy
  // How long a marker's button must have been seen, unobscured, before a press of it counts.
  const SEEN_MS = 500;
  const ORIGINAL = "data-veltrun-href";  // where a rewritten link's own href is kept
  const HTML = "http://www.w3.org/1999/xhtml";
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
    // Nodes still to read, each once, in the order they came, with whether to read the nodes
    // under them too. They are read within a slice or two, so holding them is short.
    reading: new Map(),  // node -> deep
    walker: null,  // the walk through the node being read deep
    batch: { pieces: [], places: [], chars: 0 },
    waiting: 0,  // batches sent, not yet answered
    marking: [],  // answers to put on the page: {place, marks}
    // What lasts as long as the page is held weakly: a node the page drops is not kept alive here.
    marks: new WeakMap(),  // anchor (element or text) -> {host, root, list, seen, anchor}
    hosts: new Set(),  // WeakRefs of every marker's host, for off()
    rewritten: new Set(),  // WeakRefs of the links whose href this script changed
    given: new WeakMap(),  // link -> the href this script gave it
    misplaced: new Set(),  // markers the page took away or moved, to put back
    timer: 0,  // the next slice, which abort() cancels
    observer: null,
    shadows: new WeakSet(),  // the page's open shadow roots being watched
  };
  const WATCH = { childList: true, subtree: true, attributes: true, characterData: true };

  // The markers' elements, known by identity, not by name or attribute: a page's own span is
  // read as any other.
  const ours = new WeakMap();  // host -> its entry in state.marks
  const isOurs = (node) => ours.has(node);

  // Holds `node` weakly in `set`, which forgets it once the page has dropped it for good.
  const forget = new FinalizationRegistry(({ set, ref }) => set.delete(ref));
  function holdWeakly(set, node) {
    const ref = new WeakRef(node);
    set.add(ref);
    forget.register(node, { set, ref });
  }

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

  // The extension's answer to `message`, or null where it refused or did not answer.
  async function ask(message) {
    const answer = await chrome.runtime.sendMessage(message).catch(() => null);
    return answer?.ok === true ? answer : null;
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

  // Whether the browser vouches that `node` is on screen, unclipped, unfaded and uncovered
  // (Chromium's trackVisibility; elsewhere nothing vouches, and the answer is false).
  function seenNow(node) {
    return new Promise((resolve) => {
      const observer = new IntersectionObserver(([entry]) => {
        observer.disconnect();
        resolve(entry.isVisible === true);
      }, { trackVisibility: true, delay: 100 });
      observer.observe(node);
    });
  }

  // When each send button became visible, as the browser keeps telling; absent while it is not.
  const seenSince = new WeakMap();
  const watcher = "IntersectionObserver" in globalThis ? new IntersectionObserver((entries) => {
    for (const entry of entries) {
      if (entry.isVisible === true) {
        if (!seenSince.has(entry.target)) seenSince.set(entry.target, entry.time);
      } else {
        seenSince.delete(entry.target);
      }
    }
  }, { trackVisibility: true, delay: 100 }) : null;

  // A button whose press only the user can make: the page cannot reach it, and a synthetic
  // event is ignored. The press stays with the marker: no handler of the page sees it.
  function button(className, caption, label, onPress) {
    const node = styled("button", className, caption);
    node.type = "button";
    node.setAttribute("aria-label", label);
    node.addEventListener("click", (event) => {
      event.stopPropagation();
      if (event.isTrusted) onPress(node);
    });
    return node;
  }

  // Sends the marker's link to aria2 where the button was plainly in sight for a while before
  // the press and still is; otherwise the list tab opens on it, where the user confirms.
  async function sendOrConfirm(node, mark, notice) {
    const since = seenSince.get(node);
    const seen = since !== undefined && performance.now() - since >= SEEN_MS && (await seenNow(node));
    if (!seen) {
      notice.textContent = (await ask({ type: "veltrun-confirm", input: mark.input })) ? say("markConfirm") : say("aria2_notSet");
      return;
    }
    notice.textContent = say("aria2Sending");
    const answer = await ask({ type: "veltrun-aria2", input: mark.input });
    notice.textContent = answer?.words ?? say("aria2_notSet");
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
      const send = button("send", say("sendToAria2"), say("sendToAria2") + " " + mark.address,
                          (node) => sendOrConfirm(node, mark, notice));
      row.append(send);
      watcher?.observe(send);
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

  // Puts `entry`'s marker where it belongs: first in the body, or just after its anchor.
  function putBack(entry) {
    const { host, anchor } = entry;
    if (!anchor.isConnected) return;
    if (anchor === document.body) {
      if (anchor.firstChild !== host) anchor.prepend(host);
    } else if (anchor.nextSibling !== host) {
      anchor.after(host);
    }
  }

  function place(anchor) {
    let entry = state.marks.get(anchor);
    if (entry) {
      if (!entry.host.isConnected) putBack(entry);
      return entry;
    }
    // A span can take a shadow root and can never be a custom element, whatever the page
    // defines: no page can run code in its constructor or ask for its internals.
    const host = document.createElementNS(HTML, "span");
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
    entry = { host, root, list, seen: new Set(), anchor };
    ours.set(host, entry);
    state.marks.set(anchor, entry);
    holdWeakly(state.hosts, host);
    putBack(entry);
    return entry;
  }

  // Only what a user follows is pointed at the real address: the href of an HTML link or image
  // map area. A style sheet's, a base's or an SVG link's href would be fetched or change other
  // links.
  function rewrite(element, mark) {
    if (!state.rewrite || mark.href === null || state.given.has(element)) return;
    if (element.namespaceURI !== HTML || (element.localName !== "a" && element.localName !== "area")) return;
    if (element.getAttribute("href") !== mark.input) return;  // the link is not the whole href
    element.setAttribute(ORIGINAL, mark.input);
    element.setAttribute("href", mark.href);
    state.given.set(element, mark.href);
    holdWeakly(state.rewritten, element);
  }

  function apply({ place: where, marks }) {
    const { node, anchor } = where;
    if (!node.isConnected) return;
    const entry = place(anchor);
    for (const mark of marks) {
      const key = mark.input + "\0" + mark.address;
      if (entry.seen.has(key)) continue;
      entry.seen.add(key);
      entry.list.append(markRow(mark, entry.root));
      if (where.href) rewrite(node, mark);
    }
  }

  // --- reading the page --------------------------------------------------------------------------

  // Queues `node` to be read, once: a node queued again is read deep if either asked for it.
  function enqueue(node, deep) {
    if (!state.reading.get(node)) state.reading.set(node, deep);
  }

  function add(piece, node, anchor, href) {
    if (piece.trim() === "") return;
    const { batch } = state;
    batch.pieces.push(piece);
    batch.places.push({ node, anchor, href });
    batch.chars += piece.length;
    if (batch.pieces.length >= BATCH_PIECES || batch.chars >= BATCH_CHARS) send();
  }

  // The texts of one element: its attributes, and a form field's current value; an open shadow
  // root of the page's is read and watched as the document is.
  function readElement(element) {
    if (isOurs(element)) return;
    if (element.shadowRoot && !state.shadows.has(element.shadowRoot)) {
      state.shadows.add(element.shadowRoot);
      enqueue(element.shadowRoot, true);
      state.observer?.observe(element.shadowRoot, WATCH);
    }
    const anchor = anchorOf(element);
    for (const attribute of element.attributes) {
      if (attribute.name === ORIGINAL) continue;
      add(attribute.value, element, anchor, attribute.name === "href");
    }
    const value = veltrunPageText.fieldText(element);
    if (value !== null) add(value, element, anchor, false);
  }

  function readNode(node) {
    if (node.nodeType === Node.ELEMENT_NODE) readElement(node);
    else if (node.nodeType === Node.TEXT_NODE) {
      add(node.data, node, anchorOf(node), false);
    }
  }

  const skipOurs = { acceptNode: (n) => (isOurs(n) ? NodeFilter.FILTER_REJECT : NodeFilter.FILTER_ACCEPT) };
  const full = () => state.waiting >= IN_FLIGHT;

  // Reads until the slice's time is up or the extension has enough to do; returns whether
  // anything is left to read.
  function read(deadline) {
    const queue = state.reading.entries();
    while (performance.now() < deadline && !full()) {
      if (state.walker) {
        const node = state.walker.nextNode();
        if (node) readNode(node);
        else state.walker = null;
        continue;
      }
      const next = queue.next();
      if (next.done) return false;
      const [node, deep] = next.value;
      state.reading.delete(node);
      if (!node.isConnected || isOurs(node)) continue;
      readNode(node);
      if (deep && node.firstChild !== null) {
        state.walker = document.createTreeWalker(node, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT, skipOurs);
      }
    }
    return true;
  }

  function send() {
    const { pieces, places } = state.batch;
    state.batch = { pieces: [], places: [], chars: 0 };
    if (pieces.length === 0) return;
    state.waiting++;
    chrome.runtime.sendMessage({ type: "veltrun-find", pieces }).catch(() => null).then((answer) => {
      state.waiting--;
      if (!state.on) return;
      if (answer?.ok === true && Array.isArray(answer.marks)) {
        answer.marks.forEach((marks, i) => { if (marks.length > 0) state.marking.push({ place: places[i], marks }); });
        schedule(0);
      } else if (answer?.error === "busy") {
        // The batch waits its turn rather than being dropped.
        setTimeout(() => {
          for (const place of places) enqueue(place.node, false);
          schedule(0);
        }, BUSY_MS);
      } else {
        schedule(0);
      }
    });
  }

  // One slice: markers put back, then reading (it is quick, and the core works on what it sent
  // meanwhile), then new markers.
  function work() {
    state.timer = 0;
    if (!state.on) return;
    const deadline = performance.now() + SLICE_MS;
    for (const entry of state.misplaced) putBack(entry);
    state.misplaced.clear();
    const more = read(deadline);
    // A part-filled batch goes once the page is read; beyond the cap it waits for an answer.
    if (!more && !full()) send();
    let i = 0;
    while (i < state.marking.length && performance.now() < deadline) apply(state.marking[i++]);
    state.marking.splice(0, i);
    // Our own changes are no news for the observer.
    state.observer?.takeRecords();
    // Waiting on the extension, the next slice comes with its answer.
    if ((more && !full()) || state.marking.length > 0) schedule(0);
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
        for (const node of record.removedNodes) if (isOurs(node)) state.misplaced.add(ours.get(node));
        for (const node of record.addedNodes) if (!isOurs(node)) enqueue(node, true);
      } else if (record.type === "attributes") {
        if (record.attributeName !== ORIGINAL) enqueue(record.target, false);
      } else {
        enqueue(record.target, false);
      }
    }
    schedule(state.misplaced.size > 0 ? 0 : SETTLE_MS);
  }

  // --- on and off --------------------------------------------------------------------------------

  function off() {
    state.on = false;
    state.observer?.disconnect();
    watcher?.disconnect();
    if (state.timer !== 0) state.timer.abort();
    for (const ref of state.hosts) ref.deref()?.remove();
    for (const ref of state.rewritten) {
      const element = ref.deref();
      if (!element) continue;
      if (element.getAttribute("href") === state.given.get(element)) element.setAttribute("href", element.getAttribute(ORIGINAL));
      element.removeAttribute(ORIGINAL);
    }
    Object.assign(state, {
      reading: new Map(), walker: null, marking: [], marks: new WeakMap(), hosts: new Set(),
      rewritten: new Set(), given: new WeakMap(), misplaced: new Set(), shadows: new WeakSet(),
    });
  }

  chrome.runtime.onMessage.addListener((message, sender) => {
    // Only the extension's own pages turn it off (a page cannot send to a content script, and
    // another tab's content script has the page's address, not the extension's).
    const fromExtension = sender.id === chrome.runtime.id && String(sender.url).startsWith(chrome.runtime.getURL(""));
    if (fromExtension && message?.type === "veltrun-off") off();
    return false;
  });

  async function start() {
    const hello = await ask({ type: "veltrun-hello" });
    if (!hello || !state.on) return;  // not a chosen site (any more)
    state.rewrite = hello.rewrite === true;
    state.aria2 = hello.aria2 === true;
    state.observer = new MutationObserver(noticeChanges);
    state.observer.observe(document, WATCH);
    if (document.documentElement) enqueue(document.documentElement, true);
    schedule(0);
  }

  globalThis.veltrunMarks = () => {
    if (state.on) return;
    state.on = true;
    start();
  };

  // The page's own load comes first.
  if (document.readyState === "complete") start();
  else window.addEventListener("load", start, { once: true });
})();
