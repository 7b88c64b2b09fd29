#include "linkdecode/link_finder.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "linkdecode/char_class.h"

namespace linkdecode {

namespace {

constexpr std::size_t kLongestPrefix = [] {
    std::size_t longest = 0;
    for (const LinkScheme& scheme : kLinkSchemes)
        longest = std::max(longest, scheme.prefixLength());
    return longest;
}();

bool EndsLink(unsigned char byte) {
    switch (byte) {
        case ' ':
        case '\t':
        case '\n':
        case '\v':
        case '\f':
        case '\r':
        case '"':
        case '\'':
        case '<':
        case '>':
            return true;
        default:
            return false;
    }
}

bool SameName(std::string_view written, std::string_view name, SchemeCase schemeCase) {
    if (schemeCase == SchemeCase::Exact)
        return written == name;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (LowerAscii(written[i]) != name[i])
            return false;
    }
    return true;
}

}  // namespace

LinkFinder::LinkFinder(SchemeCase schemeCase, std::size_t maxLinkBytes)
    : schemeCase_(schemeCase), maxLinkBytes_(std::max(maxLinkBytes, kLongestPrefix)) {}

std::size_t LinkFinder::FindSchemeStart(std::string_view text, std::size_t from,
                                        std::size_t& undecided) const {
    std::size_t colon = from;
    while (colon < text.size()) {
        const void* hit = std::memchr(text.data() + colon, ':', text.size() - colon);
        if (hit == nullptr)
            break;
        colon = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        if (colon + 2 >= text.size())
            break;  // "//" may follow in the next piece
        if (text[colon + 1] == '/' && text[colon + 2] == '/') {
            for (const LinkScheme& scheme : kLinkSchemes) {
                const std::string_view name = scheme.name;
                if (colon >= from + name.size() &&
                    SameName(text.substr(colon - name.size(), name.size()), name, schemeCase_))
                    return colon - name.size();
            }
        }
        ++colon;
    }
    // A scheme cut by the end of the piece lies wholly in its last bytes, short of a prefix.
    const std::size_t keep = kLongestPrefix - 1;
    undecided = text.size() - from > keep ? text.size() - keep : from;
    return std::string_view::npos;
}

void LinkFinder::Feed(std::string_view piece, std::vector<FoundLink>& completed) {
    std::string joined;
    std::string_view text = piece;
    if (!carry_.empty()) {
        joined = std::move(carry_);
        carry_.clear();
        joined.append(piece);
        text = joined;
    }

    std::size_t pos = 0;
    while (pos < text.size()) {
        if (inLink_) {
            std::size_t end = pos;
            while (end < text.size() && !EndsLink(static_cast<unsigned char>(text[end])))
                ++end;
            const std::size_t room = maxLinkBytes_ - current_.text.size();
            current_.text.append(text.substr(pos, std::min(room, end - pos)));
            current_.fullLength += end - pos;
            pos = end;
            if (end == text.size())
                return;
            completed.push_back(std::move(current_));
            current_ = FoundLink{};
            inLink_ = false;
            continue;
        }
        std::size_t undecided = 0;
        const std::size_t start = FindSchemeStart(text, pos, undecided);
        const std::size_t scanned = start == std::string_view::npos ? undecided : start;
        line_ += static_cast<std::uint64_t>(
            std::count(text.begin() + static_cast<std::ptrdiff_t>(pos),
                       text.begin() + static_cast<std::ptrdiff_t>(scanned), '\n'));
        if (start == std::string_view::npos) {
            carry_.assign(text.substr(undecided));
            return;
        }
        inLink_ = true;
        current_ = FoundLink{{}, 0, line_};
        pos = start;
    }
}

void LinkFinder::Finish(std::vector<FoundLink>& completed) {
    if (inLink_)
        completed.push_back(std::move(current_));
    current_ = FoundLink{};
    inLink_ = false;
    carry_.clear();
    line_ = 1;
}

std::vector<FoundLink> FindLinks(std::string_view text, SchemeCase schemeCase,
                                 std::size_t maxLinkBytes) {
    std::vector<FoundLink> links;
    LinkFinder finder(schemeCase, maxLinkBytes);
    finder.Feed(text, links);
    finder.Finish(links);
    return links;
}

}  // namespace linkdecode
