#pragma once

#include <cstddef>
#include <string_view>

#include "linkdecode/link_reader.h"
#include "linkdecode/repairs.h"

namespace linkdecode {

// The scheme separator "://" as web pages write it: plain, percent-encoded once or twice in any
// hex case, or with JSON's "\/" for "/". Returns its length at text[at], or 0 if none starts
// there, and adds the repairs its form needs to `repairs`.
std::size_t SeparatorLength(std::string_view text, std::size_t at, unsigned& repairs);

// The longest form SeparatorLength reads ("%253A%252F%252F").
inline constexpr std::size_t kLongestSeparator = 15;

// The scheme `link` starts with as repair mode reads it: in any letter case, with any separator
// form SeparatorLength reads. `length` covers the name and the separator; `repairs` holds what
// that form needs (kRepairSchemeCase, kRepairPercentEscapes, kRepairJsonEscapes), 0 for a prefix
// as Strict mode reads it. `scheme` is nullptr when no scheme starts `link`.
struct SchemeStart {
    const LinkScheme* scheme = nullptr;
    std::size_t length = 0;
    unsigned repairs = 0;
};
SchemeStart MatchSchemeStart(std::string_view link);

// Reads `link` in repair mode: the scheme in any letter case with any separator form; in the
// payload, entities, percent escapes, JSON escapes and URL-safe symbols as the symbols they
// stand for, and spaces and line breaks either as "+" or as nothing; symbols glued after an
// unpadded payload; missing markers. Of the readings these allow, the one whose address is most
// plausible wins (a known scheme, text characters, the markers where they belong, a whole
// Base64 text), Strict's reading first among equals, so a link that needs no repair reads as in
// Strict mode with no repair bit. Entities left in the address are then decoded.
//
// Returns the reading with the repairs that made it, and in `inputLength` the bytes of `link` it
// read (less than the whole only when text after a space or line break was not part of it).
LinkReading ReadRepairedLink(std::string_view link);

}  // namespace linkdecode
