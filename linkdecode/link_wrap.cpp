#include "linkdecode/link_wrap.h"

#include <cstring>

#include "linkdecode/base64_encoder.h"

namespace linkdecode {

namespace {

// Each marker is as long as the scheme's trimEachEnd, so unwrapping cuts exactly the marker.
struct SchemeMarkers {
    const char* prefix;
    const char* head;
    const char* tail;
};

const SchemeMarkers kSchemeMarkers[] = {
    {"thunder://", "AA", "ZZ"},
    {"flashget://", "[FLASHGET]", "[FLASHGET]"},
    {"qqdl://", "", ""},
};

}  // namespace

const LinkScheme* FindLinkScheme(std::string_view name) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        const std::string_view prefix(scheme.prefix, scheme.prefixLength);
        if (prefix.size() == name.size() + 3 && prefix.compare(0, name.size(), name) == 0)
            return &scheme;
    }
    return nullptr;
}

std::string WrapDownloadLink(const LinkScheme& scheme, std::string_view address) {
    std::string inner;
    for (const SchemeMarkers& markers : kSchemeMarkers) {
        if (std::strcmp(markers.prefix, scheme.prefix) == 0) {
            inner.reserve(address.size() + 2 * scheme.trimEachEnd);
            inner.append(markers.head).append(address).append(markers.tail);
            break;
        }
    }
    return std::string(scheme.prefix, scheme.prefixLength) + EncodeBase64Text(inner);
}

}  // namespace linkdecode
