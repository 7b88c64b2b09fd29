#include "linkdecode/missed_links.h"

#include "linkdecode/scheme_match.h"

namespace linkdecode {

// The front end's cap: with a smaller one, where the pieces are cut could decide whether a link
// goes on across a gap, and with it where the next one starts.
MissedLinkCounter::MissedLinkCounter() : finder_(ReadMode::Repair, kMaxLinkBytes) {}

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
        const unsigned repairs = MatchSchemeAt(link.text, 0, ReadMode::Repair).repairs;
        if (repairs == 0)
            continue;
        ++missed_.count;
        missed_.repairs |= repairs;
    }
    finder_.Recycle(links_);
}

}  // namespace linkdecode
