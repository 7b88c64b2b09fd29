#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "linkdecode/charset.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/text_render.h"

namespace linkdecode {

// Appends the JSON record of one read link and a line break to `out`: one object with, in this
// order, "input" (as found, read as Auto), "line" (`line`, or null when 0), "scheme" (the row's
// name or null), "outcome" (its name in kReadOutcomes), "address" (rendered in `format`, a JSON
// string whatever the input), "charset" (the one used), "bytes" (the exact address in Base64),
// "repairs" (the ids of the repairs made, in the order of kLinkRepairs) and "detail" (for
// NotAnAddress and CutShort, what the link decodes to, read as Auto; else null). Address,
// charset and bytes are null unless the link was Decoded.
void AppendJsonRecord(std::string_view input, std::uint64_t line, const LinkReading& reading,
                      AddressFormat format, GbConverter& gb, std::string& out);

}  // namespace linkdecode
