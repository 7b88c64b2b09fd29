#include "linkdecode/link_repair.h"

#include "linkdecode/char_class.h"
#include "linkdecode/link_unwrap.h"

namespace linkdecode {

namespace {

// Decodes the entity at text[i] (an "&") into `out` and returns its length, or 0 if there is
// none worth decoding there.
std::size_t DecodeEntity(std::string_view text, std::size_t i, char& out) {
    static const struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& entity : kNamed) {
        if (text.compare(i, entity.name.size(), entity.name) == 0) {
            out = entity.value;
            return entity.name.size();
        }
    }
    if (text.compare(i, 2, "&#") != 0)
        return 0;
    std::size_t j = i + 2;
    const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
    if (hex)
        ++j;
    const std::size_t digits = j;
    unsigned value = 0;
    // Three digits reach every ASCII code point and more keep the value from overflowing.
    while (j < text.size() && j - digits < 4) {
        const int digit = HexValue(text[j]);
        if (digit < 0 || (!hex && digit > 9))
            break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit);
        ++j;
    }
    if (j == digits || j >= text.size() || text[j] != ';' || value == 0 || value > 0x7F)
        return 0;
    out = static_cast<char>(value);
    return j + 1 - i;
}

// Length of the "name://" that `text` starts with in any letter case, or 0.
std::size_t SchemeLength(std::string_view text, bool& wrongCase) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (text.size() < scheme.prefixLength())
            continue;
        bool same = true;
        wrongCase = false;
        for (std::size_t i = 0; i < scheme.prefixLength() && same; ++i) {
            same = LowerAscii(text[i]) == scheme.prefix[i];
            wrongCase = wrongCase || text[i] != scheme.prefix[i];
        }
        if (same)
            return scheme.prefixLength();
    }
    wrongCase = false;
    return 0;
}

}  // namespace

RepairedLink RepairLink(std::string_view link) {
    RepairedLink result{{}, 0};

    std::string unescaped;
    unescaped.reserve(link.size());
    for (std::size_t i = 0; i < link.size();) {
        char decoded = 0;
        const std::size_t length = link[i] == '&' ? DecodeEntity(link, i, decoded) : 0;
        if (length != 0) {
            unescaped += decoded;
            i += length;
            result.repairs |= kRepairHtmlEntities;
        } else {
            unescaped += link[i++];
        }
    }

    bool wrongCase = false;
    const std::size_t schemeLength = SchemeLength(unescaped, wrongCase);
    std::string& out = result.text;
    out.reserve(unescaped.size());
    for (std::size_t i = 0; i < schemeLength; ++i)
        out += LowerAscii(unescaped[i]);
    if (wrongCase)
        result.repairs |= kRepairSchemeCase;

    // Only the payload is touched: what follows its first foreign byte stays as written.
    std::size_t i = schemeLength;
    bool padding = false;
    while (schemeLength != 0 && i < unescaped.size()) {
        char c = unescaped[i];
        std::size_t width = 1;
        unsigned repair = 0;
        if (c == '%' && i + 2 < unescaped.size()) {
            const int high = HexValue(unescaped[i + 1]);
            const int low = HexValue(unescaped[i + 2]);
            const int value = high < 0 || low < 0 ? -1 : high * 16 + low;
            if (value == '+' || value == '/' || value == '=') {
                c = static_cast<char>(value);
                width = 3;
                repair = kRepairPercentEscapes;
            }
        }
        if (c == '=') {
            padding = true;
        } else if (padding) {
            break;
        } else if (c == '-' || c == '_') {
            c = c == '-' ? '+' : '/';
            repair = kRepairUrlSafeBase64;
        } else if (!IsBase64Symbol(static_cast<unsigned char>(c))) {
            break;
        }
        out += c;
        i += width;
        result.repairs |= repair;
    }
    out.append(unescaped, i, std::string::npos);
    return result;
}

}  // namespace linkdecode
