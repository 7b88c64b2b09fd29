// Which of a page's text counts, for the popup's reading of the whole page and for the markers'
// reading of it piece by piece: the markup (every attribute, inline scripts, the text), the
// current value of a form field where it differs from the markup (typed or set by a script),
// and open shadow roots; never a password or file field, which are the user's, not the page's.
// A classic script run in the extension's isolated world of a page's frames (before marks.js,
// or by the popup), where the page cannot see or change it.
(() => {
  "use strict";
  if (globalThis.veltrunPageText) return;

  // The value of a form field that counts, or null.
  function fieldText(element) {
    const name = element.localName;
    if (name !== "input" && name !== "textarea") return null;
    if (element.type === "password" || element.type === "file") return null;
    return element.value !== element.defaultValue ? element.value : null;
  }

  // The whole text of the document, then of each same-origin frame in the same way.
  function gather() {
    const parts = [];
    const visited = new Set();
    const visit = (doc) => {
      if (visited.has(doc)) return;
      visited.add(doc);
      if (doc.documentElement) parts.push(doc.documentElement.outerHTML);
      const roots = [doc];
      for (let i = 0; i < roots.length; i++) {
        for (const element of roots[i].querySelectorAll("*")) {
          if (element.shadowRoot) {
            parts.push(element.shadowRoot.innerHTML);
            roots.push(element.shadowRoot);
          }
        }
      }
      for (const root of roots) {
        for (const field of root.querySelectorAll("input, textarea")) {
          const value = fieldText(field);
          if (value !== null) parts.push(value);
        }
      }
      for (const root of roots) {
        for (const frame of root.querySelectorAll("iframe, frame")) {
          let inner = null;
          try {
            inner = frame.contentDocument;  // null, or a throw, for another origin
          } catch {}
          if (inner) visit(inner);
        }
      }
    };
    visit(document);
    return parts.join("\n");
  }

  globalThis.veltrunPageText = Object.freeze({ fieldText, gather });
})();
