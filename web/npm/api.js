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

export function api(core) {
  return Object.freeze({
    version: core.version,
    schemes: core.schemes,
    unwrap: (link, options) => recordOf(core.unwrap(link, options)),
    find: (text, options) => core.find(text, options).filter((raw) => !raw.tooLong).map(recordOf),
    wrap: (address, scheme, options) => core.wrap(address, scheme, options),
  });
}
