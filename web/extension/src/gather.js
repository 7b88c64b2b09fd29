// The page side, run by scripting.executeScript in the extension's isolated world of the tab
// the user clicked in. Only this function's source travels, so it refers to nothing outside
// itself. It reads the page and returns text; it decides nothing about links (the core's finder
// does) and changes nothing in the page.
//
// The text: the serialized document (every attribute, inline scripts, the visible text), then
// the current values of form fields that differ from the markup (typed or set by a script),
// the open shadow roots, then each same-origin frame's document in the same way. Password and
// file fields are left out: they are the user's, not the page's.
export function gatherPageText() {
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
        if (field.type === "password" || field.type === "file") continue;
        if (field.value !== field.defaultValue) parts.push(field.value);
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
