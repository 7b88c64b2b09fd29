// The popup's and the list tab's buttons that hand addresses to aria2, once it is set up: one
// per row, and one for all, which says how many and, beyond a few, asks once more.
"use strict";
import { copyButton } from "../../ui/rows.js";
import { aria2Ready, aria2Words, sendToAria2 } from "./aria2.js";

// More than this many addresses go only after a second press.
const ASK_BEYOND = 20;

const $ = (id) => document.getElementById(id);
const say = (name, ...values) => chrome.i18n.getMessage(name, values.map(String));
const tell = (words) => { $("notice").textContent = words; };

async function send(uris) {
  if (uris.length === 0) return;
  tell(say("aria2Sending"));
  try {
    tell(aria2Words(await sendToAria2(uris)));
  } catch (error) {
    tell(String(error?.message ?? error));
  }
}

// Resolves to null where aria2 is not set up (`read`: storage.local's answer, where asked
// already); else shows the button that sends every address, taken from `records()`, and
// resolves to {addToRow(row, record, index)}, which gives a row its "send to aria2" button, and
// count(n), which tells the button how many addresses it sends.
export async function offerAria2(records, read) {
  if (!(await aria2Ready(read))) return null;
  const all = $("send-all");
  all.hidden = false;
  all.textContent = say("sendAllToAria2", 0);
  let asked = 0;  // the count the last press asked to confirm
  all.addEventListener("click", () => {
    const uris = records().map((r) => r.percentOwn).filter((uri) => uri !== null);
    if (uris.length > ASK_BEYOND && asked !== uris.length) {
      asked = uris.length;
      tell(say("sendAllConfirm", uris.length));
      return;
    }
    asked = 0;
    send(uris);
  });
  return {
    addToRow(row, record, index) {
      if (record.percentOwn === null) return;
      const button = copyButton(say("sendToAria2"), say("sendRowToAria2", index + 1), () => send([record.percentOwn]));
      button.classList.replace("copy", "send");
      row.querySelector(".copy").after(button);
    },
    count(n) {
      all.textContent = say("sendAllToAria2", n);
    },
  };
}
