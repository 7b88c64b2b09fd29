// The background's clipboard. Firefox runs the background as a page, with a document to copy
// from; Chromium's service worker has none, and its entry (chromium-background.js) puts the
// offscreen document's copy in place of this one.
"use strict";
import { copyInDocument } from "./copy.js";

let copier = async (text) => copyInDocument(document, text);

// Makes `copy(text)`, which resolves to whether it copied, the background's way to copy.
export function copyWith(copy) {
  copier = copy;
}

// Copies `text` from the background; resolves to whether it was copied.
export const copyFromBackground = (text) => copier(text);
