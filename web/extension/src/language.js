// The language of the shared words (web/ui/texts.js) in the extension: the browser's, as the
// extension's own messages (_locales) name it.
"use strict";

export const LANGUAGE = chrome.i18n.getMessage("language") === "en" ? "en" : "zh";
