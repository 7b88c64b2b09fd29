// The popup's question for the reading its click began (?reading=TOKEN), asked by a classic
// script at the top of popup.html because the popup's modules start tens of milliseconds later;
// popup-source.js takes the answer. As a classic script it names the message type itself.
"use strict";
{
  const token = new URLSearchParams(location.search).get("reading");
  if (token !== null) {
    const answer = chrome.runtime.sendMessage({ type: "veltrun-reading", token });
    answer.catch(() => {});  // popup-source.js reads the page itself then
    globalThis.veltrunAsked = answer;
  }
}
