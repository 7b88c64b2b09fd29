#include "linkdecode/scheme_match.h"

#include "linkdecode/char_class.h"
#include "linkdecode/page_escapes.h"
#include "linkdecode/repairs.h"
#include "linkdecode/unwrap_loops.h"

namespace linkdecode {

bool NameAt(std::string_view text, std::size_t at, std::string_view name, ReadMode mode,
            unsigned& repairs) {
    if (at > text.size() || text.size() - at < name.size())
        return false;
    if (mode == ReadMode::Strict)
        return rules::HasAt(text, at, name);
    // Names are a few letters: a loop settles most comparisons on the last letter, where a call
    // to memcmp would cost more than the comparison.
    bool sameCase = true;
    for (std::size_t i = name.size(); i-- > 0;) {
        const char c = text[at + i];
        if ((mode == ReadMode::Strict ? c : LowerAscii(c)) != name[i])
            return false;
        sameCase = sameCase && c == name[i];
    }
    if (!sameCase)
        repairs |= kRepairSchemeCase;
    return true;
}

std::size_t SeparatorLength(std::string_view text, std::size_t at, ReadMode mode,
                            unsigned& repairs) {
    if (mode == ReadMode::Strict)
        return text.size() - at >= 3 && text[at] == ':' && text[at + 1] == '/' &&
                       text[at + 2] == '/'
                   ? 3
                   : 0;
    std::size_t i = at;
    unsigned found = 0;
    for (const char wanted : {':', '/', '/'}) {
        if (i >= text.size())
            return 0;
        // The finder looks for a separator only at ":" and "%", so an entity is no form of it.
        const Unescaped u = UnescapeAt(text, i);
        if (u.c != wanted || u.repair == kRepairHtmlEntities)
            return 0;
        found |= u.repair;
        i += u.width;
    }
    repairs |= found;
    return i - at;
}

SchemeStart MatchSchemeAt(std::string_view text, std::size_t at, ReadMode mode) {
    for (const LinkScheme& scheme : kLinkSchemes) {
        unsigned repairs = 0;
        if (!NameAt(text, at, scheme.name, mode, repairs))
            continue;
        const std::size_t separator = SeparatorLength(text, at + scheme.name.size(), mode, repairs);
        if (separator != 0)
            return {&scheme, scheme.name.size() + separator, repairs};
    }
    return {};
}

}  // namespace linkdecode
