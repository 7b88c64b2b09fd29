#include "linkdecode/link_finder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "linkdecode/char_class.h"
#include "linkdecode/page_escapes.h"
#include "linkdecode/scheme_match.h"
#include "linkdecode/simd/simd_level.h"

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
constexpr bool EveryEndingByteIsBelow0x28OrAnAngle() {
    for (int byte = 0; byte < 256; ++byte) {
        if (EndsLink(static_cast<unsigned char>(byte)) && byte >= 0x28 && byte != '<' &&
            byte != '>')
            return false;
    }
    return true;
}
static_assert(EveryEndingByteIsBelow0x28OrAnAngle(), "MayEndLink would miss an ending byte");

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
    if (const auto find = simd::ActiveKernels().findLinkEnd)
        return at + find(p + at, text.size() - at);
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
    if (const auto count = simd::ActiveKernels().countByte)
        return count(reinterpret_cast<const unsigned char*>(text.data()) + from, to - from, '\n');
    std::uint64_t breaks = 0;
    const char* end = text.data() + to;
    for (const char* at = text.data() + from;; ++at, ++breaks) {
        at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        if (at == nullptr)
            return breaks;
    }
}

// The bytes of a piece joined to the carry before the rest of the piece is scanned in place.
constexpr std::size_t kJoinedBytes = 1024;

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
                                        std::size_t& undecided, SchemeStart& found) const {
    // Strict links have "://" after the name; repair also reads "%3A%2F%2F" and its kin.
    const bool strict = mode_ == ReadMode::Strict;
    const std::size_t longestSeparator = strict ? 3 : kLongestSeparator;
    const auto findEither = simd::ActiveKernels().findEither;
    std::size_t at = from;
    while (at < text.size()) {
        if (findEither != nullptr) {
            at += findEither(reinterpret_cast<const unsigned char*>(text.data()) + at,
                             text.size() - at, ':', strict ? ':' : '%');
            if (at == text.size())
                break;
        } else if (strict) {
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
        if (const std::size_t separator = SeparatorLength(text, at, mode_, repairs)) {
            for (const LinkScheme& scheme : kLinkSchemes) {
                const std::size_t name = scheme.name.size();
                // Strict names end in their own letter: one compare passes over the others.
                if (at >= from + name && (!strict || text[at - 1] == scheme.name.back()) &&
                    NameAt(text, at - name, scheme.name, mode_, repairs)) {
                    found = {&scheme, name + separator, repairs};
                    return at - name;
                }
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
    // A gap or a run longer than any link may be ends the link, wherever the pieces are cut: so
    // what is left undecided at the end of a piece stays bounded, and the same bytes decide.
    const auto longest = maxLinkBytes_;
    const auto open = [&](std::size_t i, std::size_t run) {
        undecided = i >= text.size() && !final && run <= longest;
        return undecided;
    };
    std::size_t end = at;
    while (!padded_) {
        std::size_t i = end;
        // Spaces, or one line break with the spaces around it.
        bool lineBreak = false;
        while (i < text.size() && i - end <= longest &&
               (IsSpaceOrTab(text[i]) || text[i] == '\r' || (text[i] == '\n' && !lineBreak))) {
            lineBreak = lineBreak || text[i] == '\n';
            ++i;
        }
        if (open(i, i - end) || i == end || i - end > longest)
            return end;
        const std::size_t token = i;
        while (i < text.size() && i - token <= longest && IsPayloadByte(text[i]))
            ++i;
        if (open(i, i - token))
            return end;
        // A word glued to other text is prose, not the rest of a payload; the text's end ends a
        // run as an ending byte does, so that where a text ends never changes a link.
        if (i == token || i - token > longest ||
            (i == text.size() ? !final : !EndsLink(static_cast<unsigned char>(text[i]))))
            return end;
        end = i;
        padded_ = HoldsPadding(text.substr(token, i - token));
    }
    return end;
}

std::size_t LinkFinder::SchemeInLink(std::string_view text, std::size_t pos, std::size_t& end,
                                     bool final, bool& separatorFree) {
    separatorFree = false;
    const bool decided = final || end < text.size();
    const std::string_view link = text.substr(0, end);
    // Most links hold no separator after their prefix: one search for its first byte.
    const auto holdsSeparator = [&] {
        const unsigned char percent = mode_ == ReadMode::Strict ? ':' : '%';
        const auto* rest = reinterpret_cast<const unsigned char*>(text.data()) + pos;
        if (const auto findEither = simd::ActiveKernels().findEither)
            return findEither(rest, end - pos, ':', percent) < end - pos;
        return std::memchr(rest, ':', end - pos) != nullptr ||
               std::memchr(rest, percent, end - pos) != nullptr;
    };
    if (decided && !holdsSeparator()) {
        separatorFree = true;
        return std::string_view::npos;
    }
    for (std::size_t from = pos;;) {
        std::size_t undecided = 0;
        SchemeStart glued;
        const std::size_t start = FindSchemeStart(link, from, decided, undecided, glued);
        if (start == std::string_view::npos && decided)
            return start;  // the link ends here, so whether its payload ended matters no more
        const std::size_t checked = start == std::string_view::npos ? undecided : start;
        for (std::size_t i = from; i < checked && !ended_; ++i)
            ended_ = !IsBase64Symbol(static_cast<unsigned char>(text[i]));
        if (start == std::string_view::npos) {
            end = checked;
            return start;
        }
        if (ended_)
            return start;
        // Glued to the payload: the unwrapper removes a prefix of the link's own scheme and reads
        // another's name as payload up to its separator.
        ended_ = link.substr(start, glued.length) != scheme_->prefix;
        from = start + glued.length;
    }
}

void LinkFinder::Feed(std::string_view piece, std::vector<FoundLink>& completed) {
    Scan(piece, false, completed);
}

void LinkFinder::Scan(std::string_view piece, bool final, std::vector<FoundLink>& completed) {
    if (carry_.empty()) {
        ScanText(piece, final, completed);
        Keep({}, completed, completed.size());
        return;
    }
    // Joining the carry to the whole piece would copy the piece: it is joined to the piece's
    // start only, and the rest is scanned where it lies. Where pieces are cut never changes the
    // links found, and what the first scan leaves undecided is a tail of what it scanned, so
    // unless it reaches back into the carry it stands in the piece just before the rest.
    const std::size_t head = final ? piece.size() : std::min(piece.size(), kJoinedBytes);
    joined_.assign(carry_).append(piece.substr(0, head));
    carry_.clear();
    std::size_t first = completed.size();
    ScanText(joined_, final, completed);
    Keep(joined_, completed, first);
    if (head == piece.size())
        return;
    if (carry_.size() > head) {
        joined_.assign(carry_).append(piece.substr(head));
        carry_.clear();
        first = completed.size();
        ScanText(joined_, final, completed);
        Keep(joined_, completed, first);
        return;
    }
    const std::size_t from = head - carry_.size();
    carry_.clear();
    ScanText(piece.substr(from), final, completed);
    Keep({}, completed, completed.size());
}

void LinkFinder::Keep(std::string_view text, std::vector<FoundLink>& completed, std::size_t first) {
    for (std::size_t i = first; i < completed.size(); ++i) {
        const char* at = completed[i].text.data();
        if (!completed[i].owned && at >= text.data() && at < text.data() + text.size())
            completed[i].Own();
    }
    // The piece goes before the link's next part comes.
    if (inLink_ && !current_.owned)
        OwnCurrent();
}

void LinkFinder::ScanText(std::string_view text, bool final, std::vector<FoundLink>& completed) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (inLink_) {
            std::size_t end = LinkEnd(text, pos);
            const std::size_t linkEnd = end;
            // The prefix is no payload: what ends the payload is looked for after it.
            bool separatorFree = false;
            const std::size_t next =
                SchemeInLink(text, pos + prefixLeft_, end, final, separatorFree);
            // A link that starts and ends in this scan with no ":" after its prefix holds the
            // prefix once, which its reading need not look for again.
            const bool plain = mode_ == ReadMode::Strict && prefixLeft_ != 0 && separatorFree;
            prefixLeft_ = 0;
            if (next != std::string_view::npos) {
                Append(text.substr(pos, next - pos));
                completed.push_back(std::move(current_));
                current_ = FoundLink{};
                inLink_ = false;
                pos = next;
                continue;
            }
            Append(text.substr(pos, end - pos));
            if (end != linkEnd) {
                carry_.assign(text.substr(end));
                return;
            }
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
            if (plain)
                current_.plainScheme = scheme_;
            completed.push_back(std::move(current_));
            current_ = FoundLink{};
            inLink_ = false;
            continue;
        }
        std::size_t undecided = 0;
        SchemeStart scheme;
        const std::size_t start = FindSchemeStart(text, pos, final, undecided, scheme);
        const std::size_t scanned = start == std::string_view::npos ? undecided : start;
        line_ += LineBreaks(text, pos, scanned);
        if (start == std::string_view::npos) {
            carry_.assign(text.substr(undecided));
            return;
        }
        inLink_ = true;
        padded_ = false;
        ended_ = false;
        seam_.clear();
        current_.text = {};
        current_.fullLength = 0;
        current_.line = line_;
        current_.owned = false;
        current_.plainScheme = nullptr;
        scheme_ = scheme.scheme;
        prefixLeft_ = scheme.length;
        pos = start;
    }
}

void LinkFinder::Append(std::string_view part) {
    // Only repair mode follows a link across a gap, and only an unpadded one. An escaped "=" may
    // be cut between two parts: the last bytes before `part` are looked at with its first.
    if (mode_ == ReadMode::Repair && !padded_) {
        constexpr std::size_t kSeam = 4;  // "%253D" less one byte
        seam_.append(part.substr(0, kSeam));
        padded_ = HoldsPadding(seam_) || HoldsPadding(part);
        if (part.size() >= kSeam)
            seam_.assign(part.substr(part.size() - kSeam));
        else if (seam_.size() > kSeam)
            seam_.erase(0, seam_.size() - kSeam);
    }
    const std::string_view kept = part.substr(0, maxLinkBytes_ - current_.text.size());
    current_.fullLength += part.size();
    if (kept.empty())
        return;
    if (current_.text.empty()) {
        current_.text = kept;
    } else if (!current_.owned && current_.text.data() + current_.text.size() == kept.data()) {
        current_.text = {current_.text.data(), current_.text.size() + kept.size()};
    } else {
        OwnCurrent();
        current_.storage.append(kept);
        current_.text = current_.storage;
    }
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

void LinkFinder::OwnCurrent() {
    if (current_.owned)
        return;
    // The storage of a link handled before, if one is kept, so that owning allocates rarely.
    if (!spare_.empty() && current_.storage.capacity() == 0) {
        current_.storage = std::move(spare_.back());
        spare_.pop_back();
        spareBytes_ -= current_.storage.capacity();
    }
    current_.Own();
}

void LinkFinder::Recycle(std::vector<FoundLink>& handled) {
    for (FoundLink& link : handled) {
        if (link.storage.capacity() <= 15 || spareBytes_ + link.storage.capacity() > kSpareBytes)
            continue;
        spareBytes_ += link.storage.capacity();
        spare_.push_back(std::move(link.storage));
    }
    handled.clear();
}

std::vector<FoundLink> FindLinks(std::string_view text, ReadMode mode, std::size_t maxLinkBytes) {
    std::vector<FoundLink> links;
    LinkFinder finder(mode, maxLinkBytes);
    finder.Feed(text, links);
    finder.Finish(links);
    for (FoundLink& link : links)
        link.Own();
    return links;
}

}  // namespace linkdecode
