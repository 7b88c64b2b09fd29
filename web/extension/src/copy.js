// Copies `text` through a text area of `doc`, where no clipboard API is at hand (a background
// page, an offscreen document); returns whether the browser took it.
"use strict";
export function copyInDocument(doc, text) {
  const box = doc.createElement("textarea");
  box.value = text;
  doc.body.append(box);
  box.select();
  try {
    return doc.execCommand("copy");
  } finally {
    box.remove();
  }
}
