#pragma once

#include <string>
#include <string_view>

namespace linkdecode {

// The kinds of damage RepairLink undoes, as bits of RepairedLink::repairs.
enum LinkRepair : unsigned {
    kRepairSchemeCase = 1u << 0,      // "Thunder://", "QQDL://"
    kRepairHtmlEntities = 1u << 1,    // "&amp;", "&#61;", "&#x2B;" from HTML sources
    kRepairPercentEscapes = 1u << 2,  // "%2B", "%2F", "%3D" from URL-encoding the payload
    kRepairUrlSafeBase64 = 1u << 3,   // "-" and "_" of the URL-safe alphabet
};

// What the front ends say of each repair, in the order they list them.
struct LinkRepairInfo {
    LinkRepair repair;
    std::string_view id;           // for JSON: "scheme-case"
    std::string_view description;  // for messages: "scheme letter case"
};

inline constexpr LinkRepairInfo kLinkRepairs[] = {
    {kRepairSchemeCase, "scheme-case", "scheme letter case"},
    {kRepairHtmlEntities, "html-entities", "HTML entities"},
    {kRepairPercentEscapes, "percent-escapes", "percent escapes (%2B %2F %3D)"},
    {kRepairUrlSafeBase64, "url-safe-base64", "URL-safe Base64 (- _)"},
};

struct RepairedLink {
    std::string text;
    unsigned repairs;  // the LinkRepair bits of the repairs that changed something
};

// Undoes common damage to a private link so that UnwrapDownloadLink reads it: HTML entities
// (&amp; &lt; &gt; &quot; &apos; and numeric ones for ASCII characters) are decoded anywhere; a
// leading scheme name in another letter case followed by "://" is lowered; within the payload
// (the run of Base64 symbols after the scheme, with its "=" padding) "%2B", "%2F" and "%3D" in
// any hex case become "+", "/" and "=", and the URL-safe symbols "-" and "_" become "+" and "/".
// What follows the payload and text without a scheme keep everything but their entities.
// Undamaged text comes back unchanged with no repair bits, so repairing is safe on any link.
RepairedLink RepairLink(std::string_view link);

}  // namespace linkdecode
