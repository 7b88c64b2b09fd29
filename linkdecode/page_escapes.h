#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// How web pages escape the characters of a link and of its address: HTML entities, percent
// escapes (once or twice over) and JSON's "\/". Repair mode reads them here and nowhere else.

namespace linkdecode {

// Reads the entity at text[at], which must be "&", into `out` and returns its length, or 0 where
// none worth reading stands: the five named ones ("&amp;", "&lt;", "&gt;", "&quot;", "&apos;") and
// the numeric ones of an ASCII character other than NUL, decimal or hexadecimal, with any count
// of leading zeros ("&#61;", "&#x2B;", "&#x000026;"), ended by ";".
[[nodiscard]] std::size_t ReadEntity(std::string_view text, std::size_t at, char& out);

// Reads the percent escape at text[at], which must be "%", into `out` and returns its length, or
// 0: "%2B" (3 bytes) or the same escaped twice, "%252B" (5), in either hex case. Only an ASCII
// character other than NUL: an escaped byte of 0x80 or more belongs to text around a link.
[[nodiscard]] std::size_t ReadPercentEscape(std::string_view text, std::size_t at, char& out);

// One character of a text as a page may have escaped it.
struct Unescaped {
    char c;
    std::size_t width;  // bytes of the text it takes, at least 1
    unsigned repair;    // the repair its escape is: kRepairHtmlEntities, kRepairPercentEscapes,
                        // kRepairJsonEscapes, or 0 for a character as it is
};

// The character at text[i], with an entity, a percent escape or JSON's "\/" undone.
Unescaped UnescapeAt(std::string_view text, std::size_t i);

// Replaces every entity ReadEntity reads in `text` by its character; returns whether any was.
bool DecodeEntities(std::string& text);

}  // namespace linkdecode
