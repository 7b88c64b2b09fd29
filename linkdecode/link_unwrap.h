#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linkdecode {

// One private-link scheme: the prefix that names it and the marker bytes its payload
// carries at each end of the address.
struct LinkScheme {
    const char* prefix;        // lower-case ASCII, compared case-sensitively
    std::size_t prefixLength;  // equals the length of `prefix`
    std::size_t trimEachEnd;   // marker bytes cut by count (never compared) from each end
};

// Thunder, FlashGet, Whirlwind: tested in this order, the first match wins.
extern const LinkScheme kLinkSchemes[3];

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
