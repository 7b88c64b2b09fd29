// The background's clipboard in Firefox: the background is a page, with a document to copy from.
import { copyInDocument } from "./copy.js";

// Copies `text` from the background; resolves to whether it was copied.
export async function copyFromBackground(text) {
  return copyInDocument(document, text);
}
