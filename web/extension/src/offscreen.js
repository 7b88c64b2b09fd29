// Chromium's offscreen document: the background's clipboard. It answers only the extension's
// own background, and only its copy request; every other message is the background's to answer.
"use strict";
import { copyInDocument } from "./copy.js";
import { isCopy, ok } from "./messages.js";

chrome.runtime.onMessage.addListener((message, sender, reply) => {
  if (sender.id !== chrome.runtime.id || sender.tab !== undefined || !isCopy(message)) return false;
  reply(ok({ copied: copyInDocument(document, message.text) }));
  return false;
});
