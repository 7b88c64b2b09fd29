#include "linkdecode/link_unwrap.h"

#include "linkdecode/base64_decoder.h"
#include "linkdecode/unwrap_loops.h"

namespace linkdecode {

const LinkScheme* MatchLinkScheme(std::string_view text) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (rules::HasAt(text, 0, scheme.prefix))
            return &scheme;
    }
    return nullptr;
}

std::string RemovePrefixOccurrences(const std::string& text, std::string_view prefix) {
    std::string rest;
    rest.reserve(text.size());
    rules::RemovePrefixPass(text, prefix, rules::CharacterStep{}, [&](std::string_view kept) {
        rest.append(kept);
        return true;
    });
    return rest;
}

namespace {

// The dialog's decoding of the payload of `pasted`: the removal over the whole text, then
// DecodeBase64Text.
auto DecodeWholeText(const std::string& pasted) {
    return [&pasted](const LinkScheme& scheme, std::string& decoded) {
        decoded = DecodeBase64Text(RemovePrefixOccurrences(pasted, scheme.prefix));
    };
}

}  // namespace

std::string UnwrapPayload(const std::string& pasted, const LinkScheme& scheme) {
    std::string decoded;
    rules::PayloadStep(scheme, DecodeWholeText(pasted), decoded);
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
    UnwrapResult result{UnwrapOutcome::Ignored, {}};
    const LinkScheme* scheme = nullptr;
    result.outcome = rules::UnwrapSteps(pasted, DecodeWholeText(pasted), result.text, scheme);
    return result;
}

}  // namespace linkdecode
