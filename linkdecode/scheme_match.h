#pragma once

#include <cstddef>
#include <string_view>

#include "linkdecode/link_unwrap.h"
#include "linkdecode/read_mode.h"

// Where a link's scheme stands, as the finder and repair both read it. Strict mode reads a
// prefix byte for byte; Repair mode reads the name in any letter case and the "://" in every
// form web pages write it.

namespace linkdecode {

// Whether `name` stands at text[at]: byte for byte in Strict mode, in any letter case in Repair
// mode, which adds kRepairSchemeCase to `repairs` when the case differs.
bool NameAt(std::string_view text, std::size_t at, std::string_view name, ReadMode mode,
            unsigned& repairs);

// The length of the scheme separator at text[at], or 0 if none starts there. Strict mode reads
// "://" only; Repair mode also reads it percent-encoded once or twice in any hex case and with
// JSON's "\/" for "/", and adds the repairs its form needs to `repairs`.
std::size_t SeparatorLength(std::string_view text, std::size_t at, ReadMode mode,
                            unsigned& repairs);

// The longest form SeparatorLength reads ("%253A%252F%252F").
inline constexpr std::size_t kLongestSeparator = 15;

// The scheme whose name and separator stand at text[at], first in table order. `length` covers
// both; `repairs` holds what their form needs, 0 for a prefix as Strict mode reads it. `scheme`
// is nullptr when none stands there.
struct SchemeStart {
    const LinkScheme* scheme = nullptr;
    std::size_t length = 0;
    unsigned repairs = 0;
};
SchemeStart MatchSchemeAt(std::string_view text, std::size_t at, ReadMode mode);

}  // namespace linkdecode
