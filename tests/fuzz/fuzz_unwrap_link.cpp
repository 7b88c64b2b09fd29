// Checks, for any pasted text, the outcome rules and the shape of the address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/link_unwrap.h"

using linkdecode::UnwrapOutcome;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string pasted(reinterpret_cast<const char*>(data), size);
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
