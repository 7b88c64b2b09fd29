#include "linkdecode/address_check.h"

#include "linkdecode/char_class.h"
#include "linkdecode/charset.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/text_render.h"

namespace linkdecode {

namespace {

// The schemes of plain addresses; the private link schemes count too, from their own table.
struct AddressScheme {
    std::string_view prefix;
    char next;  // what must follow the prefix, or 0 for a host's first character
};

constexpr AddressScheme kAddressSchemes[] = {
    {"http://", 0}, {"https://", 0}, {"ftp://", 0}, {"ed2k://", '|'}, {"magnet:?", 0},
};

bool StartsWithAnyCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(text[i]) != prefix[i])
            return false;
    }
    return true;
}

// A host, a query or a Base64 payload starts with a letter, a digit or a non-ASCII byte (an
// international name), never with a separator or a space.
bool CanStartName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (byte >= '0' && byte <= '9') ||
           (LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z') || c == '[' || c == '|';
}

bool FollowsPrefix(std::string_view address, std::string_view prefix, char next) {
    if (!StartsWithAnyCase(address, prefix) || address.size() == prefix.size())
        return false;
    const char c = address[prefix.size()];
    return next != 0 ? c == next : CanStartName(c);
}

bool HoldsControl(std::string_view address) {
    for (std::size_t i = 0; i < address.size(); ++i) {
        const auto byte = static_cast<unsigned char>(address[i]);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

}  // namespace

int AddressPlausibility(std::string_view address) {
    if (address.empty())
        return 0;
    if (HoldsControl(address) || !(IsValidUtf8(address) || IsWellShapedGb18030(address)))
        return 1;
    for (const AddressScheme& scheme : kAddressSchemes) {
        if (FollowsPrefix(address, scheme.prefix, scheme.next))
            return 3;
    }
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (FollowsPrefix(address, scheme.prefix, 0))
            return 3;
    }
    return 2;
}

bool IsOpenableAddress(std::string_view address) {
    if (HoldsHiddenControl(address) || address.find(' ') != std::string_view::npos)
        return false;
    for (const AddressScheme& scheme : kAddressSchemes) {
        if (StartsWithAnyCase(address, scheme.prefix))
            return true;
    }
    return false;
}

}  // namespace linkdecode
