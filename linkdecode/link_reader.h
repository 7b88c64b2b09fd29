#pragma once

#include <string>
#include <string_view>

#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// Strict reads a link exactly as the dialog does; Repair first undoes the damage RepairLink
// knows, and gives Strict's address for every link that needs no repair.
enum class ReadMode { Strict, Repair };

// What reading one link gave.
struct LinkReading {
    UnwrapOutcome outcome;
    const LinkScheme* scheme;  // the row matched when Decoded, else nullptr
    std::string address;       // the address bytes; empty unless Decoded
    unsigned repairs;          // the LinkRepair bits of the repairs made; 0 in Strict mode
    bool repairWouldDecode;    // Strict mode only: refused or empty here, an address in Repair

    // Whether the reading gave an address; otherwise the front end says why: no "/" (Ignored),
    // no scheme (NotALink), or a link that holds no address (Decoded, empty).
    bool HasAddress() const { return outcome == UnwrapOutcome::Decoded && !address.empty(); }
};

// Reads one link, `input`, in `mode`: the one decision the front ends share for a found link or
// a link given whole. The address is what UnwrapDownloadLink gives for the text as given
// (Strict) or as repaired (Repair).
LinkReading ReadLink(std::string_view input, ReadMode mode);

}  // namespace linkdecode
