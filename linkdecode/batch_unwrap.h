#pragma once

// The command-line tool's and the web page's way to the dialog's bytes, for many links in a row.
// Each function gives exactly what its dialog counterpart gives, from the same rules (see
// linkdecode/unwrap_loops.h), but looks symbols up in a table, writes whole groups into room
// kept for each thread, stops the prefix removal where decoding stops, and copies the result
// once into the caller's storage, reused from call to call.

#include <string>
#include <string_view>

#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// Puts DecodeBase64Text(text) into `bytes`, replacing what it held and reusing its storage.
void DecodeBase64Batch(std::string_view text, std::string& bytes);

// Puts UnwrapPayload(pasted, scheme) into `decoded`, reusing its storage; `scheme` must be the
// row that `pasted` starts with.
void UnwrapPayloadBatch(std::string_view pasted, const LinkScheme& scheme, std::string& decoded);

struct BatchUnwrap {
    UnwrapOutcome outcome;
    const LinkScheme* scheme;  // the row matched when Decoded, else nullptr
};

// Unwraps `pasted` as UnwrapDownloadLink does: the same outcome, and its address in `address`
// (empty unless Decoded), whose storage is reused from call to call.
BatchUnwrap UnwrapDownloadLinkBatch(std::string_view pasted, std::string& address);

// UnwrapDownloadLinkBatch for a link a finder found in Strict mode: `pasted` starts with
// `scheme`'s prefix and holds no ":" after it, so no other occurrence of the prefix is there to
// remove, and the rest is decoded as it stands.
BatchUnwrap UnwrapPlainLinkBatch(std::string_view pasted, const LinkScheme& scheme,
                                 std::string& address);

}  // namespace linkdecode
