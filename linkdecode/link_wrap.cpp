#include "linkdecode/link_wrap.h"

#include "linkdecode/base64_encoder.h"

namespace linkdecode {

const LinkScheme* FindLinkScheme(std::string_view name) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (scheme.name == name)
            return &scheme;
    }
    return nullptr;
}

std::string WrapDownloadLink(const LinkScheme& scheme, std::string_view address) {
    std::string inner;
    inner.reserve(scheme.headMarker.size() + address.size() + scheme.tailMarker.size());
    inner.append(scheme.headMarker).append(address).append(scheme.tailMarker);
    std::string link(scheme.prefix);
    link += EncodeBase64Text(inner);
    return link;
}

WrapRefusal WrapAddress(const LinkScheme& scheme, std::string_view address, bool toGb18030,
                        GbConverter& gb, std::string& link) {
    if (address.empty())
        return WrapRefusal::Empty;
    if (address.find('\0') != std::string_view::npos)
        return WrapRefusal::ZeroByte;
    if (!toGb18030) {
        link = WrapDownloadLink(scheme, address);
        return WrapRefusal::None;
    }
    if (!IsValidUtf8(address))
        return WrapRefusal::NotUtf8;
    std::string bytes;
    if (!gb.FromUtf8(address, bytes))
        return WrapRefusal::NoGbCode;
    link = WrapDownloadLink(scheme, bytes);
    return WrapRefusal::None;
}

namespace {

struct RefusalWords {
    std::string_view id;
    std::string_view text;
};

RefusalWords WordsOf(WrapRefusal refusal) {
    switch (refusal) {
        case WrapRefusal::None:
            break;
        case WrapRefusal::Empty:
            return {"empty", "empty address"};
        case WrapRefusal::ZeroByte:
            return {"zero-byte", "holds a zero byte, which no link can carry"};
        case WrapRefusal::NotUtf8:
            return {"not-utf8", "not valid UTF-8, so not converted to GBK"};
        case WrapRefusal::NoGbCode:
            return {"no-gb-code", "holds characters that GBK cannot encode"};
    }
    return {};
}

}  // namespace

std::string_view WrapRefusalText(WrapRefusal refusal) {
    return WordsOf(refusal).text;
}

std::string_view WrapRefusalId(WrapRefusal refusal) {
    return WordsOf(refusal).id;
}

}  // namespace linkdecode
