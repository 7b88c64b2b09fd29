#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linkdecode {

// One private-link scheme: the prefix that names it and the marker bytes its payload
// carries at each end of the address. Every fact about a scheme lives in this one row.
struct LinkScheme {
    std::string_view name;        // "thunder": the prefix without "://", as options and JSON say it
    std::string_view prefix;      // lower-case ASCII, compared case-sensitively
    std::size_t trimEachEnd;      // marker bytes cut by count (never compared) from each end
    std::string_view headMarker;  // what a link maker glues before the address
    std::string_view tailMarker;  // and after it

    // The count of leading bytes of a pasted text compared with `prefix`.
    constexpr std::size_t prefixLength() const { return prefix.size(); }
};

// Thunder, FlashGet, Whirlwind: tested in this order, the first match wins.
inline constexpr LinkScheme kLinkSchemes[] = {
    {"thunder", "thunder://", 2, "AA", "ZZ"},
    {"flashget", "flashget://", 10, "[FLASHGET]", "[FLASHGET]"},
    {"qqdl", "qqdl://", 0, "", ""},
};

// Unwrapping cuts by count what wrapping glued on, so markers and trim counts must agree, and
// each prefix is its name followed by "://".
constexpr bool SchemeRowsAgree() {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (scheme.headMarker.size() != scheme.trimEachEnd ||
            scheme.tailMarker.size() != scheme.trimEachEnd ||
            scheme.prefix.substr(0, scheme.name.size()) != scheme.name ||
            scheme.prefix.substr(scheme.name.size()) != "://")
            return false;
    }
    return true;
}
static_assert(SchemeRowsAgree());

// The scheme whose prefix `text` starts with, byte for byte, in table order; nullptr if none.
const LinkScheme* MatchLinkScheme(std::string_view text);

enum class UnwrapOutcome {
    Decoded,   // a scheme matched; `text` holds the address, possibly empty
    NotALink,  // the text holds a "/" but starts with none of the prefixes
    Ignored,   // the text holds no "/" at all
};

struct UnwrapResult {
    UnwrapOutcome outcome;
    std::string text;  // the address; empty unless `outcome` is Decoded
};

// Returns `text` without any occurrence of `prefix`, found in one left-to-right pass over
// code page 936 characters: a lead byte (0x81 to 0xFE) takes the next byte with it, so no
// occurrence starts on a trail byte, and occurrences are non-overlapping. An occurrence that
// only the joining of the two sides of a deletion forms is kept. An empty `prefix` removes
// nothing.
std::string RemovePrefixOccurrences(const std::string& text, std::string_view prefix);

// The middle of UnwrapDownloadLink for a text that `scheme` matched: every occurrence of its
// prefix removed, the rest decoded with DecodeBase64Text and cut at its first zero byte. The
// markers are still there; UnwrapDownloadLink cuts them by count, a repair may look at them.
std::string UnwrapPayload(const std::string& pasted, const LinkScheme& scheme);

// The last step of UnwrapDownloadLink: `decoded` loses the scheme's trimEachEnd bytes at its
// end, then at its start; fewer bytes than that leave it empty.
void CutMarkers(std::string& decoded, const LinkScheme& scheme);

// What CutMarkers leaves of `decoded`, as a view of it.
std::string_view WithoutMarkers(std::string_view decoded, const LinkScheme& scheme);

// Recognises the scheme of a pasted link and returns the plain address it wraps.
//
// `pasted` is narrow text in the ANSI code page (936 where double-byte characters matter);
// lengths count bytes. Text without "/" is Ignored; text with "/" that does not start with a
// prefix byte for byte is NotALink. Otherwise every occurrence of the matched prefix is removed
// in one left-to-right pass that steps over double-byte characters, the rest is decoded with
// DecodeBase64Text, cut at its first zero byte, and loses `trimEachEnd` bytes at the end and
// then at the start. The result is Decoded even when that leaves nothing.
//
// Pure: no state, no platform service, no exception beyond std::bad_alloc.
UnwrapResult UnwrapDownloadLink(const std::string& pasted);

}  // namespace linkdecode
