#include "linkdecode/reading_choice.h"

#include <iterator>
#include <utility>

#include "linkdecode/address_check.h"

namespace linkdecode {

bool ReadingChoice::Score::operator>(const Score& other) const {
    for (std::size_t i = 0; i < std::size(values); ++i) {
        if (values[i] != other.values[i])
            return values[i] > other.values[i];
    }
    return false;
}

void ReadingChoice::Consider(std::string address, ReadingSigns signs, unsigned repairs,
                             std::size_t inputLength) {
    // A repair can read words as Base64, so what it alone makes has to prove itself: by text, and
    // after a bare scheme, where all of it is the repair's, by an address that starts as one does.
    // Past that, markers found exactly where they belong are the strongest sign that a payload was
    // read whole; without them, the address itself has to tell.
    const int plausibility = AddressPlausibility(address);
    const bool shown =
        (repairs & ~formRepairs_) == 0 || plausibility == 3 || (plausibility == 2 && !bareScheme_);
    const Score score{{shown ? 1 : 0, signs.marked ? 1 : 0, address.empty() ? 0 : 1, plausibility,
                       signs.cutOnlyMarkers ? 1 : 0, signs.padded ? 1 : 0, signs.whole ? 1 : 0}};
    // Only a better score displaces the reading kept, so among equals the first offered stays:
    // Strict's, then the simpler repairs. Nor does a repaired reading displace Strict's when it
    // gives the same address: it repaired nothing worth naming.
    if (found_ && (!(score > score_) || (address == best_ && repairs_ == 0)))
        return;
    found_ = true;
    score_ = score;
    marked_ = signs.marked;
    best_ = std::move(address);
    repairs_ = repairs;
    inputLength_ = inputLength;
}

LinkReading ReadingChoice::Take(const LinkScheme& scheme) {
    LinkReading reading;
    reading.outcome = ReadOutcome::Decoded;
    reading.scheme = &scheme;
    reading.address = std::move(best_);
    reading.repairs = repairs_;
    reading.inputLength = inputLength_;
    return reading;
}

}  // namespace linkdecode
