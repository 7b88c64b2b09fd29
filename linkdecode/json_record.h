#pragma once

#include <string>
#include <string_view>

#include "linkdecode/charset.h"
#include "linkdecode/link_record.h"
#include "linkdecode/text_render.h"

namespace linkdecode {

// Appends the JSON record of `record` and a line break to `out`: one object with the fields of
// kRecordFields whose scope is at most `scope`, in their order. "input" is read as Auto,
// "address" rendered in `format` (a JSON string whatever the bytes), "charset" the one used,
// "bytes" the exact address in Base64, those three null unless the link was Decoded; "detail"
// what a NotAnAddress or CutShort link decodes to, read as Auto, null for others. Rendered fields
// are null without an address and left out with one, for AppendRenderedFields to make when they are
// asked for.
void AppendJsonRecord(const LinkRecord& record, AddressFormat format, FieldScope scope,
                      GbConverter& gb, std::string& out);

// Appends, as a JSON string, the start of `input` as a row shows it (RecordField::InputShown).
void AppendShownInput(std::string_view input, GbConverter& gb, std::string& out);

// Appends the Rendered fields of the record whose address is `bytes`, read in `charset` (the
// record's "charset"), as one JSON object.
void AppendRenderedFields(std::string_view bytes, Charset charset, GbConverter& gb,
                          std::string& out);

}  // namespace linkdecode
