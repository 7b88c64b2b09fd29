// Repair mode on any text: it must end, stay in bounds, name every change it makes to strict
// reading, and leave a link made from any address as strict reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkdecode/repair_readings.h"
#include "linkdecode/link_wrap.h"

using linkdecode::UnwrapOutcome;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const linkdecode::LinkReading repaired = linkdecode::ReadRepairedLink(text);
    const linkdecode::UnwrapResult strict = linkdecode::UnwrapDownloadLink(text);
    if (repaired.inputLength > text.size())
        std::abort();
    if (repaired.outcome != UnwrapOutcome::Decoded && !repaired.address.empty())
        std::abort();
    if (repaired.repairs == 0 &&
        (repaired.outcome != strict.outcome || repaired.address != strict.text))
        std::abort();

    // The same bytes as an address: every scheme's link of it needs no repair.
    if (text.find('\0') == std::string::npos) {
        for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes) {
            const std::string link = linkdecode::WrapDownloadLink(scheme, text);
            const linkdecode::LinkReading clean = linkdecode::ReadRepairedLink(link);
            if (clean.repairs != 0 && (clean.repairs & linkdecode::kRepairAddressEntities) == 0)
                std::abort();
            if ((clean.repairs == 0 && clean.address != text) || clean.inputLength != link.size())
                std::abort();
        }
    }
    return 0;
}
