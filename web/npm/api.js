// What the package gives over the one module's core: its unwrap, find and wrap, with records
// that hold the fields of the JSON record `veltrun --json` writes and no more. A link longer
// than the core reads is skipped, as the command-line tool and the Python module skip it.
"use strict";

const RECORD_FIELDS = ["input", "line", "scheme", "outcome", "address", "charset", "bytes", "repairs", "detail"];

function recordOf(raw) {
  const record = {};
  for (const field of RECORD_FIELDS) record[field] = raw[field];
  Object.freeze(record.repairs);
  return Object.freeze(record);
}

// A text without links gives no record, as on the command line (the page shows it as one row).
// Options that are no object go to the core as they are, which refuses them.
function findOptions(options = {}) {
  return options !== null && typeof options === "object" ? { ...options, wholeIfNone: false } : options;
}

export function api(core) {
  return Object.freeze({
    version: core.version,
    schemes: core.schemes,
    unwrap: (link, options) => recordOf(core.unwrap(link, options)),
    find: (text, options) =>
      core.find(text, findOptions(options)).filter((raw) => !raw.tooLong).map(recordOf),
    wrap: core.wrap,
  });
}
