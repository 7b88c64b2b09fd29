#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "linkdecode/link_finder.h"

namespace linkdecode {

// What a strict reading of a text leaves that repair mode would find.
struct MissedLinks {
    std::size_t count = 0;  // links repair mode finds whose start Strict mode does not read
    unsigned repairs = 0;   // why: the LinkRepair bits their starts need, in any of them
};

// Counts, for a front end that reads a text in Strict mode, the links repair mode would find in
// it besides: a scheme in other letter case, or a separator percent-encoded ("%3A%2F%2F") or
// JSON-escaped (":\/\/"), whatever repair mode's LinkFinder accepts and its own does not. Fed the
// same pieces as the front end's strict LinkFinder, in constant memory.
class MissedLinkCounter {
public:
    MissedLinkCounter();

    // Scans `piece`, the text that follows everything fed before.
    void Feed(std::string_view piece);

    // Ends the text and returns what it held; the counter starts over for a new text.
    [[nodiscard]] MissedLinks Finish();

private:
    void Count();

    LinkFinder finder_;
    std::vector<FoundLink> links_;
    MissedLinks missed_;
};

}  // namespace linkdecode
