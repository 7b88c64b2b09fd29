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

bool IsAsciiLetter(char c) {
    return LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z';
}

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// A scheme name as URLs write it: a letter, then letters, digits, "+", "-" or ".", with "://"
// after it; "magnet:?" has no slashes. Something must follow. What it is is left alone: the
// address's entities are decoded after this test, and never change what it saw.
bool StartsWithScheme(std::string_view text) {
    constexpr std::size_t kLongestName = 32;
    if (StartsWithAnyCase(text, "magnet:?"))
        return text.size() > 8;
    std::size_t i = 0;
    while (i < text.size() && i <= kLongestName &&
           (IsAsciiLetter(text[i]) || (i > 0 && (IsAsciiDigit(text[i]) || text[i] == '+' ||
                                                 text[i] == '-' || text[i] == '.'))))
        ++i;
    return i >= 2 && i <= kLongestName && text.substr(i, 3) == "://" && text.size() > i + 3;
}

// A host of two or more dotted names, the last of letters only (a top-level domain), or four
// numbers (IPv4); then an optional ":port"; then "/".
bool StartsWithHostAndPath(std::string_view text) {
    std::size_t i = 0;
    std::size_t names = 0;
    bool allDigits = true;
    bool lastLetters = false;
    while (true) {
        const std::size_t start = i;
        bool letters = true;
        bool digits = true;
        while (i < text.size() &&
               (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]) || (i > start && text[i] == '-'))) {
            letters = letters && IsAsciiLetter(text[i]);
            digits = digits && IsAsciiDigit(text[i]);
            ++i;
        }
        if (i == start)
            return false;
        ++names;
        allDigits = allDigits && digits;
        lastLetters = letters && i - start >= 2;
        if (i >= text.size() || text[i] != '.')
            break;
        ++i;
    }
    if (!(names >= 2 && lastLetters) && !(names == 4 && allDigits))
        return false;
    if (i < text.size() && text[i] == ':') {
        const std::size_t port = ++i;
        while (i < text.size() && IsAsciiDigit(text[i]))
            ++i;
        if (i == port)
            return false;
    }
    return i < text.size() && text[i] == '/';
}

}  // namespace

bool IsAddressShaped(std::string_view bytes) {
    return StartsWithScheme(bytes) || StartsWithHostAndPath(bytes);
}

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
