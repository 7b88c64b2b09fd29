// Checks, for any pasted text, the outcome rules and the shape of the address, and that each link
// the strict finder finds in it unwraps as the whole run from its scheme to a link's ending byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_unwrap.h"

using linkdecode::UnwrapOutcome;

namespace {

// A link found ends early only where its payload has ended: what it leaves is never read.
void CheckFoundLinks(const std::string& text) {
    std::size_t from = 0;
    for (const linkdecode::FoundLink& link :
         linkdecode::FindLinks(text, linkdecode::ReadMode::Strict, text.size())) {
        const std::size_t at = text.find(link.text, from);
        if (at == std::string::npos)
            std::abort();
        const std::size_t runEnd =
            std::min(text.find_first_of(" \t\n\v\f\r\"'<>", at), text.size());
        const linkdecode::UnwrapResult found =
            linkdecode::UnwrapDownloadLink(std::string(link.text));
        const linkdecode::UnwrapResult run =
            linkdecode::UnwrapDownloadLink(text.substr(at, runEnd - at));
        if (found.outcome != run.outcome || found.text != run.text)
            std::abort();
        from = at + link.text.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string pasted(reinterpret_cast<const char*>(data), size);
    CheckFoundLinks(pasted);
    const linkdecode::UnwrapResult result = linkdecode::UnwrapDownloadLink(pasted);

    const bool hasSlash = pasted.find('/') != std::string::npos;
    if ((result.outcome == UnwrapOutcome::Ignored) == hasSlash)
        std::abort();
    if (result.outcome != UnwrapOutcome::Decoded) {
        if (!result.text.empty())
            std::abort();
        return 0;
    }

    const linkdecode::LinkScheme* scheme = nullptr;
    for (const linkdecode::LinkScheme& s : linkdecode::kLinkSchemes) {
        if (pasted.compare(0, s.prefixLength(), s.prefix) == 0) {
            scheme = &s;
            break;
        }
    }
    if (scheme == nullptr)
        std::abort();
    if (result.text.find('\0') != std::string::npos)
        std::abort();

    // The address is the decoded payload, cut at its first zero, less the markers.
    const std::string decoded =
        linkdecode::DecodeBase64Text(linkdecode::RemovePrefixOccurrences(pasted, scheme->prefix));
    const std::string cut = decoded.substr(0, decoded.find('\0'));
    const std::size_t k = scheme->trimEachEnd;
    const std::string expected = cut.size() > 2 * k ? cut.substr(k, cut.size() - 2 * k) : "";
    if (result.text != expected)
        std::abort();
    return 0;
}
