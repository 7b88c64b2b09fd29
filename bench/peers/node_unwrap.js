#!/usr/bin/env node
// Unwraps every thunder://, flashget:// and qqdl:// link found in standard input.
//
// Writes one address per line, as the raw bytes it decodes to, in input order. A link runs
// from its scheme to the first whitespace, quote, "<", ">" or end of text. The rules are those
// of the C++ core: every occurrence of the matched prefix is removed, the leading run of Base64
// symbols is decoded ("=" or any other byte ends it, padding is optional), the bytes are cut at
// the first zero byte, then the scheme's markers are cut by count from the end and then from
// the start. Text is handled as latin1 so that every byte is one character and none is lost;
// Buffer does the decoding.
'use strict';

const LINK = /(thunder|flashget|qqdl):\/\/[^ \t\n\v\f\r"'<>]*/g;
const SYMBOLS = /^[A-Za-z0-9+\/]*/;
const TRIM = {thunder: 2, flashget: 10, qqdl: 0};
const NEWLINE = Buffer.from('\n');

function unwrap(scheme, link) {
  const rest = link.split(scheme + '://').join('');
  let run = SYMBOLS.exec(rest)[0];
  if (run.length % 4 === 1) run = run.slice(0, -1);  // a lone trailing symbol: no whole byte
  let data = Buffer.from(run, 'base64');
  const zero = data.indexOf(0);
  if (zero >= 0) data = data.subarray(0, zero);
  const k = TRIM[scheme];
  if (k) {
    data = data.subarray(0, data.length > k ? data.length - k : 0);
    data = data.subarray(Math.min(k, data.length));
  }
  return data;
}

function unwrapAll(text) {
  const out = [];
  for (const m of text.matchAll(LINK)) {
    out.push(unwrap(m[1], m[0]), NEWLINE);
  }
  if (out.length) process.stdout.write(Buffer.concat(out));
}

let carry = '';
// Chunks are cut after their last line break, so no link is split and memory stays bounded.
process.stdin.on('data', (chunk) => {
  const text = carry + chunk.toString('latin1');
  const cut = text.lastIndexOf('\n') + 1;
  carry = text.slice(cut);
  unwrapAll(text.slice(0, cut));
});
process.stdin.on('end', () => unwrapAll(carry));
