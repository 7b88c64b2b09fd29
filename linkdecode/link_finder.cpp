#include "linkdecode/link_finder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "linkdecode/char_class.h"
#include "linkdecode/page_escapes.h"
#include "linkdecode/scheme_match.h"

namespace linkdecode {

namespace {

constexpr std::size_t kLongestPrefix = [] {
    std::size_t longest = 0;
    for (const LinkScheme& scheme : kLinkSchemes)
        longest = std::max(longest, scheme.prefixLength());
    return longest;
}();

constexpr std::size_t kLongestName = kLongestPrefix - 3;

bool IsSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// What a payload broken across a gap can hold after it: symbols of either alphabet, padding and
// percent escapes.
bool IsPayloadByte(char c) {
    return IsBase64Symbol(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '=' ||
           c == '%';
}

constexpr bool EndsLink(unsigned char byte) {
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

// EndsLink by value.
constexpr std::array<unsigned char, 256> kEndsLink = [] {
    std::array<unsigned char, 256> ends{};
    for (std::size_t b = 0; b < ends.size(); ++b)
        ends[b] = EndsLink(static_cast<unsigned char>(b));
    return ends;
}();

// Whether one of the eight bytes of `word` may end a link: every ending byte but "<" and ">" is
// below 0x28. Exact for "<" and ">", but true for every byte below 0x28: for "!", "#" to "&" and
// every C0 control too, so each "%" or "&" sends its word to the byte-by-byte look. An exact
// test of the ten ending bytes costs more than those looks, even for percent-encoded links
// (BM_FindLinks in bench/linkdecode_bench.cpp).
constexpr bool MayEndLink(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    constexpr std::uint64_t kHigh = 0x8080808080808080;
    const std::uint64_t less = (word - kOnes * 0x28) & ~word;
    const std::uint64_t lt = word ^ (kOnes * '<');
    const std::uint64_t gt = word ^ (kOnes * '>');
    return ((less | ((lt - kOnes) & ~lt) | ((gt - kOnes) & ~gt)) & kHigh) != 0;
}

// Where the link that goes on at text[at] reaches its end, or the end of the text: eight bytes
// at a time, looked at one by one only where one of them may end it.
std::size_t LinkEnd(std::string_view text, std::size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (; text.size() - at >= 8; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, p + at, 8);
        if (!MayEndLink(word))
            continue;
        for (std::size_t k = 0; k < 8; ++k) {
            if (kEndsLink[p[at + k]])
                return at + k;
        }
    }
    while (at < text.size() && !kEndsLink[p[at]])
        ++at;
    return at;
}

// The line breaks in text[from, to), a search apiece: lines are long and breaks few.
std::uint64_t LineBreaks(std::string_view text, std::size_t from, std::size_t to) {
    std::uint64_t breaks = 0;
    const char* end = text.data() + to;
    for (const char* at = text.data() + from;; ++at, ++breaks) {
        at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (at == nullptr)
            return breaks;
    }
}

// Recycled link storage kept at most, so that a text of long links leaves none behind.
constexpr std::size_t kSpareBytes = 256 * 1024;

// Whether `text` holds the "=" of padding, as it is or percent-encoded once or twice.
bool HoldsPadding(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char escaped = 0;
        if (text[i] == '=' ||
            (text[i] == '%' && ReadPercentEscape(text, i, escaped) != 0 && escaped == '='))
            return true;
    }
    return false;
}

}  // namespace

LinkFinder::LinkFinder(ReadMode mode, std::size_t maxLinkBytes)
    : mode_(mode), maxLinkBytes_(std::max(maxLinkBytes, kLongestPrefix)) {}

std::size_t LinkFinder::FindSchemeStart(std::string_view text, std::size_t from, bool final,
                                        std::size_t& undecided) const {
    // Strict links have "://" after the name; repair also reads "%3A%2F%2F" and its kin.
    const bool strict = mode_ == ReadMode::Strict;
    const std::size_t longestSeparator = strict ? 3 : kLongestSeparator;
    std::size_t at = from;
    while (at < text.size()) {
        if (strict) {
            const void* hit = std::memchr(text.data() + at, ':', text.size() - at);
            if (hit == nullptr)
                break;
            at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        } else if (text[at] != ':' && text[at] != '%') {
            ++at;
            continue;
        }
        if (!final && at + longestSeparator > text.size())
            break;  // the rest of the separator may come in the next piece
        unsigned repairs = 0;
        if (SeparatorLength(text, at, mode_, repairs) != 0) {
            for (const LinkScheme& scheme : kLinkSchemes) {
                const std::size_t name = scheme.name.size();
                if (at >= from + name && NameAt(text, at - name, scheme.name, mode_, repairs))
                    return at - name;
            }
        }
        ++at;
    }
    // A scheme cut by the end of the piece lies wholly in its last bytes.
    const std::size_t keep = final ? 0 : kLongestName + longestSeparator - 1;
    undecided = text.size() - from > keep ? text.size() - keep : from;
    return std::string_view::npos;
}

std::size_t LinkFinder::ContinuationEnd(std::string_view text, std::size_t at, bool final,
                                        bool& undecided) {
    undecided = false;
    // More may come, unless the piece already holds more than any link may.
    const auto open = [&](std::size_t i) {
        undecided = i >= text.size() && !final && text.size() - at <= maxLinkBytes_;
        return undecided;
    };
    std::size_t end = at;
    while (!padded_) {
        std::size_t i = end;
        // Spaces, or one line break with the spaces around it.
        bool lineBreak = false;
        while (i < text.size() &&
               (IsSpaceOrTab(text[i]) || text[i] == '\r' || (text[i] == '\n' && !lineBreak))) {
            lineBreak = lineBreak || text[i] == '\n';
            ++i;
        }
        if (open(i) || i == end)
            return end;
        const std::size_t token = i;
        while (i < text.size() && IsPayloadByte(text[i]))
            ++i;
        if (open(i))
            return end;
        // A word glued to other text is prose, not the rest of a payload.
        if (i == token || !EndsLink(static_cast<unsigned char>(text[i])))
            return end;
        end = i;
        padded_ = HoldsPadding(text.substr(token, i - token));
    }
    return end;
}

void LinkFinder::Feed(std::string_view piece, std::vector<FoundLink>& completed) {
    Scan(piece, false, completed);
}

void LinkFinder::Scan(std::string_view piece, bool final, std::vector<FoundLink>& completed) {
    std::string_view text = piece;
    if (!carry_.empty()) {
        joined_.assign(carry_).append(piece);
        carry_.clear();
        text = joined_;
    }

    std::size_t pos = 0;
    while (pos < text.size()) {
        if (inLink_) {
            const std::size_t end = LinkEnd(text, pos);
            Append(text.substr(pos, end - pos));
            pos = end;
            if (mode_ == ReadMode::Repair && end < text.size()) {
                // A wrapped line or a "+" turned into a space: the payload may go on.
                bool undecided = false;
                pos = ContinuationEnd(text, end, final, undecided);
                line_ += LineBreaks(text, end, pos);
                Append(text.substr(end, pos - end));
                if (undecided) {
                    carry_.assign(text.substr(pos));
                    return;
                }
            }
            if (pos == text.size())
                return;
            completed.push_back(std::move(current_));
            current_ = FoundLink{};
            inLink_ = false;
            continue;
        }
        std::size_t undecided = 0;
        const std::size_t start = FindSchemeStart(text, pos, final, undecided);
        const std::size_t scanned = start == std::string_view::npos ? undecided : start;
        line_ += LineBreaks(text, pos, scanned);
        if (start == std::string_view::npos) {
            carry_.assign(text.substr(undecided));
            return;
        }
        inLink_ = true;
        padded_ = false;
        current_ = FoundLink{{}, 0, line_};
        if (!spare_.empty()) {
            current_.text = std::move(spare_.back());
            spare_.pop_back();
            spareBytes_ -= current_.text.capacity();
            current_.text.clear();
        }
        pos = start;
    }
}

void LinkFinder::Append(std::string_view part) {
    // Only repair mode follows a link across a gap, and only an unpadded one.
    padded_ = padded_ || (mode_ == ReadMode::Repair && HoldsPadding(part));
    const std::size_t room = maxLinkBytes_ - current_.text.size();
    current_.text.append(part.substr(0, std::min(room, part.size())));
    current_.fullLength += part.size();
}

void LinkFinder::Finish(std::vector<FoundLink>& completed) {
    if (!carry_.empty())
        Scan({}, true, completed);
    if (inLink_)
        completed.push_back(std::move(current_));
    current_ = FoundLink{};
    inLink_ = false;
    carry_.clear();
    line_ = 1;
}

void LinkFinder::Recycle(std::vector<FoundLink>& handled) {
    for (FoundLink& link : handled) {
        if (spareBytes_ + link.text.capacity() > kSpareBytes)
            break;
        spareBytes_ += link.text.capacity();
        spare_.push_back(std::move(link.text));
    }
    handled.clear();
}

std::vector<FoundLink> FindLinks(std::string_view text, ReadMode mode, std::size_t maxLinkBytes) {
    std::vector<FoundLink> links;
    LinkFinder finder(mode, maxLinkBytes);
    finder.Feed(text, links);
    finder.Finish(links);
    return links;
}

}  // namespace linkdecode
