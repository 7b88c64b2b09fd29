#pragma once

#include <cstddef>
#include <string>

#include "linkdecode/link_reader.h"

namespace linkdecode {

// What a reading of a damaged link shows of how whole it was read, besides its address.
struct ReadingSigns {
    bool marked = false;          // both markers were there and cut (a scheme without any is)
    bool cutOnlyMarkers = false;  // no byte of the address was cut as a marker
    bool padded = false;          // padding makes the payload a whole number of groups
    bool whole = false;           // the payload ends as an encoder ends it, not cut by damage
};

// The choice among the readings repair mode tries of one link. The most plausible wins: first a
// reading that needed no repair beyond the scheme's own form, or else whose address is text
// (AddressPlausibility 2), or after a bare scheme starts as a download address does
// (AddressPlausibility 3), so that a repair that makes an address out of the words after a link
// never beats Strict's reading of it; then markers found where they belong, then an address at
// all, then AddressPlausibility, then the signs above in their order; among equals, the first
// offered, so Strict's reading, offered first, wins every tie.
class ReadingChoice {
public:
    // `formRepairs`: what reading the link's scheme needed, which every reading of it shares.
    // `bareScheme`: white space follows the scheme, so that every payload symbol is a repair's.
    ReadingChoice(unsigned formRepairs, bool bareScheme)
        : formRepairs_(formRepairs), bareScheme_(bareScheme) {}

    // Offers a reading: its address, its signs, the repairs it needed and the bytes of the link
    // it read.
    void Consider(std::string address, ReadingSigns signs, unsigned repairs,
                  std::size_t inputLength);

    // The reading chosen, Decoded as a link of `scheme`; at least one must have been offered.
    LinkReading Take(const LinkScheme& scheme);

    // Whether the reading chosen found its markers where they belong (a scheme without any does).
    bool Marked() const { return marked_; }

private:
    struct Score {
        int values[7] = {};
        bool operator>(const Score& other) const;
    };

    unsigned formRepairs_;
    bool bareScheme_;
    bool found_ = false;
    bool marked_ = false;
    Score score_;
    std::string best_;
    unsigned repairs_ = 0;
    std::size_t inputLength_ = 0;
};

}  // namespace linkdecode
