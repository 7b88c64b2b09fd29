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
    return [&pasted](const LinkScheme& scheme, auto take) {
        take(DecodeBase64Text(RemovePrefixOccurrences(pasted, scheme.prefix)));
    };
}

}  // namespace

std::string UnwrapPayload(const std::string& pasted, const LinkScheme& scheme) {
    std::string decoded;
    rules::PayloadStep(scheme, DecodeWholeText(pasted), decoded);
    return decoded;
}

std::string_view WithoutMarkers(std::string_view decoded, const LinkScheme& scheme) {
    // The end's bytes go first, so a text of fewer than twice trimEachEnd bytes keeps none.
    const std::size_t k = scheme.trimEachEnd;
    return decoded.size() > 2 * k ? decoded.substr(k, decoded.size() - 2 * k)
                                  : decoded.substr(0, 0);
}

void CutMarkers(std::string& decoded, const LinkScheme& scheme) {
    const std::string_view kept = WithoutMarkers(decoded, scheme);
    const auto at = static_cast<std::size_t>(kept.data() - decoded.data());
    decoded.resize(at + kept.size());
    decoded.erase(0, at);
}

UnwrapResult UnwrapDownloadLink(const std::string& pasted) {
    UnwrapResult result{UnwrapOutcome::Ignored, {}};
    const LinkScheme* scheme = nullptr;
    result.outcome = rules::UnwrapSteps(pasted, DecodeWholeText(pasted), result.text, scheme);
    return result;
}

}  // namespace linkdecode
