#include "linkdecode/link_reader.h"

#include <utility>

#include "linkdecode/link_repair.h"

namespace linkdecode {

namespace {

LinkReading Unwrap(const std::string& link, unsigned repairs) {
    UnwrapResult result = UnwrapDownloadLink(link);
    const LinkScheme* scheme =
        result.outcome == UnwrapOutcome::Decoded ? MatchLinkScheme(link) : nullptr;
    return {result.outcome, scheme, std::move(result.text), repairs, false};
}

}  // namespace

LinkReading ReadLink(std::string_view input, ReadMode mode) {
    if (mode == ReadMode::Repair) {
        const RepairedLink repaired = RepairLink(input);
        return Unwrap(repaired.text, repaired.repairs);
    }
    LinkReading reading = Unwrap(std::string(input), 0);
    if (!reading.HasAddress())
        reading.repairWouldDecode = ReadLink(input, ReadMode::Repair).HasAddress();
    return reading;
}

}  // namespace linkdecode
