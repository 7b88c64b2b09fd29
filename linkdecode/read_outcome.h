#pragma once

#include <cstddef>
#include <iterator>
#include <string_view>

#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// What reading one link gave: the dialog's three outcomes, then two that only repair mode gives,
// to a link it reads but does not offer as an address. Strict mode never gives them.
enum class ReadOutcome {
    Decoded,       // a scheme matched; the reading holds the address, possibly empty
    NotALink,      // the text holds a "/" but starts with no scheme
    Ignored,       // the text holds no "/" at all
    NotAnAddress,  // decodes to text that reads as no address, and nothing vouches for it
    CutShort,      // the text around it cut the link off before its end
};

// What the front ends say of each outcome.
struct ReadOutcomeInfo {
    ReadOutcome outcome;
    std::string_view name;         // for JSON and the bindings: "NotAnAddress"
    std::string_view description;  // for messages: "not an address"
};

// In the order of ReadOutcome, so that an outcome indexes its row.
inline constexpr ReadOutcomeInfo kReadOutcomes[] = {
    {ReadOutcome::Decoded, "Decoded", "decoded"},
    {ReadOutcome::NotALink, "NotALink", "not a link of a known scheme"},
    {ReadOutcome::Ignored, "Ignored", "not a link (no '/' in it)"},
    {ReadOutcome::NotAnAddress, "NotAnAddress", "the link decodes to text, not to an address"},
    {ReadOutcome::CutShort, "CutShort", "the link is cut short"},
};

constexpr bool ReadOutcomeRowsInOrder() {
    for (std::size_t i = 0; i < std::size(kReadOutcomes); ++i) {
        if (static_cast<std::size_t>(kReadOutcomes[i].outcome) != i)
            return false;
    }
    return true;
}
static_assert(ReadOutcomeRowsInOrder());

// The row of `outcome`.
constexpr const ReadOutcomeInfo& ReadOutcomeRow(ReadOutcome outcome) {
    return kReadOutcomes[static_cast<std::size_t>(outcome)];
}

// Why a reading with `outcome` gave no address, for messages: its description, or for Decoded,
// whose reading was empty, that the link holds none.
constexpr std::string_view NoAddressReason(ReadOutcome outcome) {
    return outcome == ReadOutcome::Decoded ? std::string_view("the link holds no address")
                                           : ReadOutcomeRow(outcome).description;
}

// The dialog's outcome as a reading's.
constexpr ReadOutcome ReadOutcomeOf(UnwrapOutcome outcome) {
    switch (outcome) {
        case UnwrapOutcome::Decoded:
            return ReadOutcome::Decoded;
        case UnwrapOutcome::NotALink:
            return ReadOutcome::NotALink;
        case UnwrapOutcome::Ignored:
            break;
    }
    return ReadOutcome::Ignored;
}

}  // namespace linkdecode
