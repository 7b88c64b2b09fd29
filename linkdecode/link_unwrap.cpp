#include "linkdecode/link_unwrap.h"

#include <utility>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/char_class.h"

namespace linkdecode {

const LinkScheme* MatchLinkScheme(std::string_view text) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (text.substr(0, scheme.prefixLength()) == scheme.prefix)
            return &scheme;
    }
    return nullptr;
}

std::string RemovePrefixOccurrences(const std::string& text, std::string_view prefix) {
    std::string rest;
    rest.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (!prefix.empty() && text.compare(i, prefix.size(), prefix) == 0) {
            i += prefix.size();
            continue;
        }
        const std::size_t width =
            IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
        rest.append(text, i, width);
        i += width;
    }
    return rest;
}

std::string UnwrapPayload(const std::string& pasted, const LinkScheme& scheme) {
    std::string decoded = DecodeBase64Text(RemovePrefixOccurrences(pasted, scheme.prefix));
    const std::size_t zero = decoded.find('\0');
    if (zero != std::string::npos)
        decoded.resize(zero);
    return decoded;
}

void CutMarkers(std::string& decoded, const LinkScheme& scheme) {
    const std::size_t k = scheme.trimEachEnd;
    if (k != 0) {
        decoded.resize(decoded.size() > k ? decoded.size() - k : 0);
        decoded.erase(0, k);
    }
}

UnwrapResult UnwrapDownloadLink(const std::string& pasted) {
    if (pasted.find('/') == std::string::npos)
        return {UnwrapOutcome::Ignored, {}};

    const LinkScheme* scheme = MatchLinkScheme(pasted);
    if (scheme == nullptr)
        return {UnwrapOutcome::NotALink, {}};

    std::string address = UnwrapPayload(pasted, *scheme);
    CutMarkers(address, *scheme);
    return {UnwrapOutcome::Decoded, std::move(address)};
}

}  // namespace linkdecode
