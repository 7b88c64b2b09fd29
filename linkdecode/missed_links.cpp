#include "linkdecode/missed_links.h"

#include <algorithm>

#include "linkdecode/repair_readings.h"

namespace linkdecode {

namespace {

// Only a link's start tells whether Strict mode finds it: the longest name and separator.
constexpr std::size_t kLongestStart = [] {
    std::size_t longest = 0;
    for (const LinkScheme& scheme : kLinkSchemes)
        longest = std::max(longest, scheme.name.size());
    return longest + kLongestSeparator;
}();

}  // namespace

MissedLinkCounter::MissedLinkCounter() : finder_(ReadMode::Repair, kLongestStart) {}

void MissedLinkCounter::Feed(std::string_view piece) {
    finder_.Feed(piece, links_);
    Count();
}

MissedLinks MissedLinkCounter::Finish() {
    finder_.Finish(links_);
    Count();
    const MissedLinks missed = missed_;
    missed_ = {};
    return missed;
}

void MissedLinkCounter::Count() {
    for (const FoundLink& link : links_) {
        const unsigned repairs = MatchSchemeStart(link.text).repairs;
        if (repairs == 0)
            continue;
        ++missed_.count;
        missed_.repairs |= repairs;
    }
    finder_.Recycle(links_);
}

}  // namespace linkdecode
