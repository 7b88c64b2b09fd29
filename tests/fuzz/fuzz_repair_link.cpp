// Repair mode on any text: it must end, stay in bounds, name every change it makes to strict
// reading, offer as an address only what reads as one or what markers vouch for, and leave a
// link made from any address as strict reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkdecode/address_check.h"
#include "linkdecode/link_wrap.h"
#include "linkdecode/repair_readings.h"

using linkdecode::ReadOutcome;

namespace {

// Whether `address` is what strict reading of `text` finds inside the markers of `scheme`.
bool MarkersWrap(const std::string& text, const linkdecode::LinkScheme& scheme,
                 const std::string& address) {
    return scheme.trimEachEnd != 0 &&
           linkdecode::UnwrapPayload(text, scheme) ==
               std::string(scheme.headMarker) + address + std::string(scheme.tailMarker);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const linkdecode::LinkReading repaired = linkdecode::ReadRepairedLink(text);
    const linkdecode::UnwrapResult strict = linkdecode::UnwrapDownloadLink(text);
    if (repaired.inputLength > text.size())
        std::abort();
    if (repaired.outcome != ReadOutcome::Decoded && !repaired.address.empty())
        std::abort();
    const bool named =
        repaired.outcome == ReadOutcome::NotAnAddress || repaired.outcome == ReadOutcome::CutShort;
    if (named != (repaired.scheme != nullptr && repaired.address.empty() &&
                  (!repaired.detail.empty() || repaired.outcome == ReadOutcome::CutShort)))
        std::abort();
    if (named && (repaired.repairs != 0 || (repaired.outcome == ReadOutcome::NotAnAddress &&
                                            linkdecode::IsAddressShaped(repaired.detail))))
        std::abort();
    if (!named && repaired.repairs == 0 &&
        (repaired.outcome != linkdecode::ReadOutcomeOf(strict.outcome) ||
         repaired.address != strict.text))
        std::abort();
    // An address offered reads as one, or a link without repairs wraps it in its markers.
    if (repaired.HasAddress() && !linkdecode::IsAddressShaped(repaired.address) &&
        (repaired.scheme->trimEachEnd == 0 ||
         (repaired.repairs == 0 && !MarkersWrap(text, *repaired.scheme, repaired.address))))
        std::abort();

    // The same bytes as an address: every scheme's link of it needs no repair, and is offered
    // when markers vouch for it or it reads as an address.
    if (text.find('\0') == std::string::npos) {
        for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes) {
            const std::string link = linkdecode::WrapDownloadLink(scheme, text);
            const linkdecode::LinkReading clean = linkdecode::ReadRepairedLink(link);
            const bool offered =
                scheme.trimEachEnd != 0 || text.empty() || linkdecode::IsAddressShaped(text);
            if (clean.outcome != (offered ? ReadOutcome::Decoded : ReadOutcome::NotAnAddress))
                std::abort();
            if (clean.repairs != 0 && (clean.repairs & linkdecode::kRepairAddressEntities) == 0)
                std::abort();
            const std::string& bytes = offered ? clean.address : clean.detail;
            if ((clean.repairs == 0 && bytes != text) || clean.inputLength != link.size())
                std::abort();
        }
    }
    return 0;
}
