// What the package gives over the one module's core: its unwrap, find and wrap, with records
// that hold the fields of the JSON record `veltrun --json` writes and no more. A link longer
// than the core reads is skipped, as the command-line tool and the Python module skip it.
"use strict";

const RECORD_FIELDS = ["input", "line", "scheme", "outcome", "address", "charset", "bytes", "repairs"];

function recordOf(raw) {
  const record = {};
  for (const field of RECORD_FIELDS) record[field] = raw[field];
  Object.freeze(record.repairs);
  return Object.freeze(record);
}

// The core's find gives a text in which it found no link as one record of the text read whole,
// as the page shows a paste; a found link always starts with a scheme and reads as Decoded.
// The package's find, like the command-line tool's, lists found links only.
function foundLinks(records) {
  return records.length === 1 && records[0].outcome !== "Decoded" ? [] : records;
}

export function api(core) {
  return Object.freeze({
    version: core.version,
    schemes: core.schemes,
    unwrap: (link, options) => recordOf(core.unwrap(link, options)),
    find: (text, options) =>
      foundLinks(core.find(text, options)).filter((raw) => !raw.tooLong).map(recordOf),
    wrap: (address, scheme, options) => core.wrap(address, scheme, options),
  });
}
