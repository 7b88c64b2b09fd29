#include "linkdecode/link_reader.h"

#include "linkdecode/batch_unwrap.h"
#include "linkdecode/link_repair.h"

namespace linkdecode {

namespace {

void Unwrap(std::string_view link, unsigned repairs, LinkReading& reading) {
    const BatchUnwrap result = UnwrapDownloadLinkBatch(link, reading.address);
    reading.outcome = result.outcome;
    reading.scheme = result.scheme;
    reading.repairs = repairs;
    reading.repairWouldDecode = false;
}

}  // namespace

void ReadLink(std::string_view input, ReadMode mode, LinkReading& reading) {
    if (mode == ReadMode::Repair) {
        const RepairedLink repaired = RepairLink(input);
        Unwrap(repaired.text, repaired.repairs, reading);
        return;
    }
    Unwrap(input, 0, reading);
    if (!reading.HasAddress())
        reading.repairWouldDecode = ReadLink(input, ReadMode::Repair).HasAddress();
}

LinkReading ReadLink(std::string_view input, ReadMode mode) {
    LinkReading reading{UnwrapOutcome::Ignored, nullptr, {}, 0, false};
    ReadLink(input, mode, reading);
    return reading;
}

}  // namespace linkdecode
