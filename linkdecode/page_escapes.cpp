#include "linkdecode/page_escapes.h"

#include <algorithm>
#include <utility>

#include "linkdecode/char_class.h"
#include "linkdecode/repairs.h"

namespace linkdecode {

namespace {

// The value of the two hex digits at text[at], or -1.
int HexPairAt(std::string_view text, std::size_t at) {
    if (at + 1 >= text.size())
        return -1;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

std::size_t ReadEntity(std::string_view text, std::size_t at, char& out) {
    static constexpr struct {
        std::string_view name;
        char value;
    } kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    for (const auto& entity : kNamed) {
        if (text.compare(at, entity.name.size(), entity.name) == 0) {
            out = entity.value;
            return entity.name.size();
        }
    }
    if (text.compare(at, 2, "&#") != 0)
        return 0;
    std::size_t j = at + 2;
    const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
    if (hex)
        ++j;
    const std::size_t digits = j;
    // Leading zeros may run on; a value past ASCII stops growing, so none overflows.
    constexpr unsigned kPastAscii = 0x80;
    unsigned value = 0;
    for (; j < text.size(); ++j) {
        const int digit = HexValue(text[j]);
        if (digit < 0 || (!hex && digit > 9))
            break;
        value = std::min(value * (hex ? 16 : 10) + static_cast<unsigned>(digit), kPastAscii);
    }
    if (j == digits || j >= text.size() || text[j] != ';' || value == 0 || value >= kPastAscii)
        return 0;
    out = static_cast<char>(value);
    return j + 1 - at;
}

std::size_t ReadPercentEscape(std::string_view text, std::size_t at, char& out) {
    int value = HexPairAt(text, at + 1);
    std::size_t width = 3;
    if (value == '%' && HexPairAt(text, at + 3) > 0) {
        value = HexPairAt(text, at + 3);
        width = 5;
    }
    if (value <= 0 || value >= 0x80)
        return 0;
    out = static_cast<char>(value);
    return width;
}

Unescaped UnescapeAt(std::string_view text, std::size_t i) {
    const char c = text[i];
    char decoded = 0;
    if (c == '%') {
        if (const std::size_t width = ReadPercentEscape(text, i, decoded))
            return {decoded, width, kRepairPercentEscapes};
    } else if (c == '&') {
        if (const std::size_t width = ReadEntity(text, i, decoded))
            return {decoded, width, kRepairHtmlEntities};
    } else if (c == '\\' && i + 1 < text.size() && text[i + 1] == '/') {
        return {'/', 2, kRepairJsonEscapes};
    }
    return {c, 1, 0};
}

bool DecodeEntities(std::string& text) {
    std::size_t i = text.find('&');
    if (i == std::string::npos)
        return false;
    std::string decoded(text, 0, i);
    bool changed = false;
    while (i < text.size()) {
        char c = 0;
        const std::size_t width = text[i] == '&' ? ReadEntity(text, i, c) : 0;
        if (width != 0) {
            decoded += c;
            i += width;
            changed = true;
        } else {
            decoded += text[i++];
        }
    }
    if (changed)
        text = std::move(decoded);
    return changed;
}

}  // namespace linkdecode
