#pragma once

#include <cstddef>
#include <string_view>

#include "linkdecode/link_reader.h"
#include "linkdecode/repairs.h"

namespace linkdecode {

// Reads `link` in repair mode: the scheme in any letter case with any separator form; in the
// payload, entities, percent escapes, JSON escapes and URL-safe symbols as the symbols they
// stand for, and spaces and line breaks either as "+" or as nothing; symbols glued after an
// unpadded payload; missing markers. Of the readings these allow, the one whose address is most
// plausible wins (a known scheme, text characters, the markers where they belong, a whole
// Base64 text), Strict's reading first among equals, so a link that needs no repair reads as in
// Strict mode with no repair bit, and no address a repair makes out of the words after a link
// beats it (ReadingChoice). What the chosen reading gives is an address only when its markers
// were found where they belong or its bytes read as an address (IsAddressShaped); else the
// reading is NotAnAddress, or CutShort when a mark of an excerpt ("…", "...", "（省略）") follows
// the unpadded payload, with what was read as the reading's detail and no repairs. An empty
// address stays Decoded unless the link was cut. Entities left in an address are then decoded.
//
// Returns the reading with the repairs that made it, and in `inputLength` the bytes of `link` it
// read (less than the whole only when text after a space or line break was not part of it).
LinkReading ReadRepairedLink(std::string_view link);

}  // namespace linkdecode
