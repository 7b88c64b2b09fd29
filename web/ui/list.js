// The list of the records found in one text, as the page, the popup and the list tab show it:
// the one owner of decoding in short tasks, of rows rendered as they come near the view, of
// records listed once, of "Copy all", and of closing the decoder however a decode ends.
"use strict";
import { hasAddress, recordRow } from "./rows.js";

// Decoding runs in tasks of about TASK_MS each, rows drawn included, so that no text, however
// long, keeps the page from answering: text goes into the core in pieces, records come out a
// hundred at a time. A task may still overrun by one step and a collection of the garbage: the
// margin under the 50 ms a browser counts as long is theirs.
const TASK_MS = 20;
const PIECE_CHARS = 1 << 15;
const ROWS_PER_CALL = 100;
const ROWS_PER_PAGE = 60;  // rendered at a time, more as the list is scrolled near its end
const FIRST_SCREEN = 20;  // rows that fill a popup or a page's first view

const pause = () => (globalThis.scheduler?.yield ? scheduler.yield() : new Promise((r) => setTimeout(r)));

// A list drawn into `rows` (an <ol>), grown as `more` (an element after it) nears the view.
// `view` is recordRow's, plus:
//   unique: list a record seen before (same outcome, link and address) once;
//   limit: rows shown before any scrolling (ROWS_PER_PAGE), and grow: whether scrolling shows
//   more;
//   addToRow(row, record, index): what a front end adds to a row (optional);
//   summarize({total, decoded, finished, moreInRepair}): told as the list changes.
export class RecordList {
  constructor(rows, more, view) {
    this.rows = rows;
    this.view = view;
    this.job = 0;
    this.nearEnd = false;
    this.reset();
    if (view.grow !== false) {
      new IntersectionObserver(([entry]) => {
        this.nearEnd = entry.isIntersecting;
        if (this.nearEnd) this.grow();
      }, { rootMargin: "0px 0px 800px 0px" }).observe(more);
    }
  }

  reset() {
    Object.assign(this, {
      records: [], seen: new Set(), decoded: 0, moreInRepair: null, finished: false, shown: 0,
      limit: this.view.limit ?? ROWS_PER_PAGE,
    });
    this.rows.replaceChildren();
  }

  // Every address, in copy form, for "Copy all".
  addresses() {
    return this.records.filter(hasAddress).map((record) => this.view.copyText(record));
  }

  add(record) {
    if (this.view.unique) {
      const key = `${record.outcome}\0${record.input}\0${record.address}`;
      if (this.seen.has(key)) return;
      this.seen.add(key);
    }
    this.records.push(record);
    if (hasAddress(record)) this.decoded++;
  }

  fill() {
    const fragment = document.createDocumentFragment();
    for (; this.shown < this.records.length && this.shown < this.limit; this.shown++) {
      const record = this.records[this.shown];
      const row = recordRow(record, this.shown, this.view);
      this.view.addToRow?.(row, record, this.shown);
      fragment.append(row);
    }
    this.rows.append(fragment);
  }

  grow() {
    this.limit = this.shown + ROWS_PER_PAGE;
    this.fill();
    if (this.shown < this.records.length) requestAnimationFrame(() => { if (this.nearEnd) this.grow(); });
  }

  summarize() {
    const { records, decoded, finished, moreInRepair } = this;
    this.view.summarize({ total: records.length, decoded, finished, moreInRepair });
  }

  // Renders the rows shown again (in other words, say).
  redraw() {
    this.rows.replaceChildren();
    this.limit = Math.max(this.shown, this.view.limit ?? ROWS_PER_PAGE);
    this.shown = 0;
    this.fill();
    this.summarize();
  }

  // Decodes `source` with `core` and `options` (a decoder's). Resolves to true once every
  // record is in, false where a later decode took over. The decoder is closed either way, and
  // on a throw, which is passed on.
  async decode(core, source, options) {
    const job = ++this.job;
    const decoder = core.decoder(options);
    this.reset();
    try {
      let at = 0;
      // The first task ends once the first screen's records are in, to show them before the rest.
      const firstScreen = Math.min(this.limit, FIRST_SCREEN);
      const waiting = () => this.shown === 0 && this.records.length < firstScreen;
      while (!this.finished) {
        const taskStart = performance.now();
        if (this.shown > 0) this.fill();  // the rows the last task took in count in this one's time
        do {
          const records = decoder.next(waiting() ? firstScreen - this.records.length : ROWS_PER_CALL);
          if (records.length > 0) {
            records.forEach((record) => this.add(record));
          } else if (at < source.length) {
            const end = Math.min(at + PIECE_CHARS, source.length);  // the decoder joins split pairs
            decoder.feed(source.slice(at, end));
            at = end;
          } else if (decoder.moreInRepair === null) {
            decoder.finish();
            this.moreInRepair = decoder.moreInRepair;
          } else {
            this.finished = true;
          }
        } while (!this.finished && (waiting() || this.shown > 0) && performance.now() - taskStart < TASK_MS);
        if (this.shown === 0 || this.finished) this.fill();
        this.summarize();
        // Marks the benchmark reads: the first rows on screen.
        if (this.shown > 0 && performance.getEntriesByName("first-rows").length === 0) performance.mark("first-rows");
        if (this.finished) break;
        await pause();
        if (job !== this.job) return false;
      }
    } finally {
      decoder.close();
    }
    performance.mark("all-rows");
    return true;
  }
}
