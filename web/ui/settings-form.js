// The reading and copying choices every front end offers, made once: strict mode (#strict), the
// charset (#charset) and the copy form (#copy-as). Their words are keys (data-i18n) that each
// front end fills from texts.js, as the rest of its page.
"use strict";
import { element } from "./rows.js";

function select(id, name, options) {
  const box = element("select");
  box.id = id;
  box.name = name;
  for (const [value, key, words] of options) {
    const option = element("option", "", words);
    option.value = value;
    if (key) option.dataset.i18n = key;
    box.append(option);
  }
  return box;
}

function labelled(key, control, before) {
  const label = element("label");
  const words = element("span");
  words.dataset.i18n = key;
  if (before) label.append(words, " ", control);
  else label.append(control, " ", words);
  return label;
}

// Puts the three choices at the start of `container`.
export function addSettingsFields(container) {
  const strict = element("input");
  strict.type = "checkbox";
  strict.id = "strict";
  strict.name = "strict";
  container.prepend(
    labelled("strictLabel", strict, false),
    labelled("charsetLabel", select("charset", "charset", [
      ["auto", "charsetAuto"], ["gbk", null, "GBK / GB18030"], ["utf8", null, "UTF-8"],
    ]), true),
    labelled("copyAsLabel", select("copy-as", "copyAs", [
      ["text", "copyAsText"], ["own", "copyAsOwn"], ["utf8", "copyAsUtf8"],
    ]), true),
  );
}
