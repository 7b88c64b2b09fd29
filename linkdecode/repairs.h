#pragma once

#include <string>
#include <string_view>

namespace linkdecode {

// The kinds of damage repair mode undoes, as bits of LinkReading::repairs.
enum LinkRepair : unsigned {
    kRepairSchemeCase = 1u << 0,         // "Thunder://", "QQDL://"
    kRepairHtmlEntities = 1u << 1,       // "&amp;", "&#61;", "&#x2B;" in the link's text
    kRepairPercentEscapes = 1u << 2,     // "thunder%3A%2F%2F", "%2B", "%3D", "%253D"
    kRepairUrlSafeBase64 = 1u << 3,      // "-" and "_" for "+" and "/"
    kRepairJsonEscapes = 1u << 4,        // "thunder:\/\/", "\/" in the payload
    kRepairSpaceAsPlus = 1u << 5,        // a "+" that a web form turned into a space
    kRepairWhitespaceDropped = 1u << 6,  // a line break or space inside the payload
    kRepairTrailingJunk = 1u << 7,       // a "/" or letter glued after an unpadded payload
    kRepairMissingMarkers = 1u << 8,     // no "AA"..."ZZ" or "[FLASHGET]" around the address
    kRepairAddressEntities = 1u << 9,    // "&amp;" in the decoded address
    kRepairGbkReading = 1u << 10,        // GBK bytes that happen to be valid UTF-8
};

// What the front ends say of each repair, in the order they list them.
struct LinkRepairInfo {
    LinkRepair repair;
    std::string_view id;           // for JSON: "scheme-case"
    std::string_view description;  // for messages, after "repaired ": "scheme letter case"
};

inline constexpr LinkRepairInfo kLinkRepairs[] = {
    {kRepairSchemeCase, "scheme-case", "scheme letter case"},
    {kRepairHtmlEntities, "html-entities", "HTML entities"},
    {kRepairPercentEscapes, "percent-escapes", "percent escapes (%3A %2F %2B %3D)"},
    {kRepairUrlSafeBase64, "url-safe-base64", "URL-safe Base64 (- _)"},
    {kRepairJsonEscapes, "json-escapes", "JSON escapes (\\/)"},
    {kRepairSpaceAsPlus, "space-as-plus", "spaces that were '+'"},
    {kRepairWhitespaceDropped, "whitespace-dropped", "a line break or space in the payload"},
    {kRepairTrailingJunk, "trailing-junk", "characters glued after the payload"},
    {kRepairMissingMarkers, "missing-markers", "missing markers around the address"},
    {kRepairAddressEntities, "address-entities", "HTML entities in the address"},
    {kRepairGbkReading, "gbk-reading", "the reading (GBK, not the UTF-8 it also is)"},
};

// Which text of a repair AppendRepairList gives.
enum class RepairText { Id, Description };

// Appends to `out` the ids or descriptions of the repairs whose bits `repairs` holds, in the
// order of kLinkRepairs, with `separator` between two of them; appends nothing for 0.
void AppendRepairList(unsigned repairs, RepairText text, std::string_view separator,
                      std::string& out);

}  // namespace linkdecode
