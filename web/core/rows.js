// The DOM of a record's row, shared by the page and the extension's popup. Every text goes in
// by textContent; the one attribute taken from a record is a clickable address's href, given
// only where the core calls the address openable.
"use strict";

// A new element with `className` and, when given, `content` as its text.
export function element(tag, className, content) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (content !== undefined) node.textContent = content;
  return node;
}

// A "Copy" button named `label` for screen readers, which calls `onCopy` when pressed.
export function copyButton(caption, label, onCopy) {
  const button = element("button", "copy", caption);
  button.type = "button";
  button.setAttribute("aria-label", label);
  button.addEventListener("click", onCopy);
  return button;
}

// Copies `lines`, one a line, and says in `notice` how that went, in the words of `text`.
export async function copyLines(lines, notice, text) {
  if (lines.length === 0) {
    notice.textContent = text("nothing");
    return;
  }
  try {
    await navigator.clipboard.writeText(lines.join("\n"));
    notice.textContent = text("copied", { n: lines.length });
  } catch {
    notice.textContent = text("copyFailed");
  }
}

// Whether `record` gives an address, read without making the core render it (addressShown and
// the other renderings are made on first read).
export const hasAddress = (record) => Boolean(record.address);

// The forms a row's address is copied in: the record's field for each.
export const COPY_FORMS = Object.freeze({ text: "addressShown", own: "percentOwn", utf8: "percentUtf8" });

// The address of `record` in copy form `form` (a key of COPY_FORMS).
export function copyText(record, form) {
  return record[COPY_FORMS[form]];
}

// The texts key of why a record gives no address: its outcome's name in lower case ("ignored",
// "notalink", "notanaddress", "cutshort"), "toolong", or "empty" for a link that holds none.
export function reasonKey(record) {
  if (record.tooLong) return "toolong";
  return record.outcome === "Decoded" ? "empty" : record.outcome.toLowerCase();
}

// The line that sums a list up, in the words of `text` (texts.js's translator): its progress
// while `finished` is false, then how many of its `total` records have an address (`decoded`),
// and what a strict reading missed (a decoder's moreInRepair, or null).
export function summaryText(text, { total, decoded, finished, moreInRepair }) {
  const parts = [];
  if (!finished) parts.push(text("progress", { done: total }));
  else if (total > 0) parts.push(text("summary", { total, decoded, refused: total - decoded }));
  if (moreInRepair !== null && moreInRepair.count > 0) {
    const repairs = moreInRepair.repairs.map((id) => text(id)).join(text("listSeparator"));
    parts.push(text("moreInRepair", { n: moreInRepair.count, repairs }));
  }
  return parts.join(" ");
}

// The row of `record`, the `index`th of its list. `view` gives text(key, values) (texts.js's
// translator), maxLinkBytes (Core.maxLinkBytes), copyText(record), the text the row's Copy
// button copies, and copy(lines), which copies them.
export function recordRow(record, index, view) {
  const { text } = view;
  const decoded = hasAddress(record);
  const item = element("li", decoded ? "row" : "row refused");
  if (decoded) {
    let address;
    if (record.openable) {
      address = element("a", "address", record.addressShown);
      address.href = record.percentUtf8;
      address.rel = "noopener noreferrer";
      address.target = "_blank";
    } else {
      address = element("span", "address", record.addressShown);
    }
    const meta = element("p", "meta");
    meta.append(element("span", "tag", text(record.scheme)), element("span", "tag", text(record.charset)));
    for (const id of record.repairs) {
      const tag = element("span", "tag repair", text("repaired") + text(id));
      tag.dataset.repair = id;
      meta.append(tag);
    }
    if (record.line !== null) meta.append(element("span", "where", text("line", { n: record.line })));
    const button = copyButton(text("copy"), text("copyRow", { n: index + 1 }),
                              () => view.copy([view.copyText(record)]));
    item.append(address, button, meta);
  } else {
    item.append(element("p", "reason", text(reasonKey(record), { max: view.maxLinkBytes })));
    // What a link read as no address decodes to, as the core escaped it: shown, never offered.
    if (record.detail) item.append(element("code", "detail", record.detail));
    if (record.repairWouldDecode) item.append(element("p", "hint", text("hint")));
  }
  item.append(element("code", "input", record.inputShown));
  return item;
}
