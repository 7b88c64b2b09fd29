// Chromium's offscreen document: the background's clipboard. It answers only the extension's
// own background, and only a message of the one expected shape.
import { copyInDocument } from "./copy.js";

const isCopyRequest = (message) =>
  message !== null && typeof message === "object" && message.target === "offscreen" &&
  message.type === "copy" && typeof message.text === "string";

chrome.runtime.onMessage.addListener((message, sender, reply) => {
  if (sender.id !== chrome.runtime.id || sender.tab !== undefined || !isCopyRequest(message)) return false;
  reply(copyInDocument(document, message.text));
  return false;
});
