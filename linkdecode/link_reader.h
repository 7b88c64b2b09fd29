#pragma once

// The map of the core's reading paths. A front end feeds texts, or links given whole, to a
// ReadingSession (reading_session), which finds the links, reads each through ReadLink, below,
// and gives a LinkRecord (link_record) for each. One link goes
//
//   find      link_finder       where each link of a text starts and ends, fed in pieces
//   read      batch_unwrap      Strict: the batch path, the dialog's bytes at batch speed
//             repair_readings   Repair: the readings the damage allows, each by the batch path
//   choose    reading_choice    Repair: the most plausible of them, Strict's first among equals
//   render    text_render       the address as text, percent-encoded or a JSON string
//             json_record       the whole record as JSON, its fields those of link_record
//
// The dialog path is UnwrapDownloadLink (link_unwrap) with DecodeBase64Text (base64_decoder),
// the dialog's own algorithm. It and the batch path are instantiations of the same loops
// (unwrap_loops.h), and differential fuzzing holds them to the same bytes. The finder and repair
// read a scheme's start with scheme_match and a page's escapes with page_escapes. Beside the
// paths: repairs (the table of repairs and their names), read_outcome (the outcomes and their
// names), missed_links (what Strict leaves in a text that Repair would find), charset (bytes read
// as text), address_check (what an address looks like), cut_marks (how a page marks a text it
// cut), link_wrap and base64_encoder (making links), platform_gb_converter (the one unit that
// calls the platform: GB18030 by iconv or Windows code pages), simd/ (the vector kernels and the
// byte tables they share with the scalar rules).

#include <cstddef>
#include <string>
#include <string_view>

#include "linkdecode/charset.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/read_mode.h"
#include "linkdecode/read_outcome.h"

namespace linkdecode {

struct ReadOptions {
    ReadMode mode = ReadMode::Strict;
    Charset charset = Charset::Auto;  // how the front end was asked to show addresses
};

// What reading one link gave.
struct LinkReading {
    ReadOutcome outcome = ReadOutcome::Ignored;
    const LinkScheme* scheme = nullptr;  // the row matched, unless NotALink or Ignored
    std::string address;                 // the address bytes; empty unless Decoded
    std::string detail;                  // NotAnAddress, CutShort: the bytes the link decodes to
    unsigned repairs = 0;                // the LinkRepair bits of the repairs made
    bool repairWouldDecode = false;      // Strict mode only: refused or empty here, read in Repair
    std::size_t inputLength = 0;         // the bytes of the input the reading covers
    Charset charset = Charset::Auto;     // how to show the address: as asked, Auto resolved

    // Whether the reading gave an address; otherwise the front end says why: no "/" (Ignored),
    // no scheme (NotALink), a link that holds no address (Decoded, empty), text that is no
    // address (NotAnAddress) or a link cut short (CutShort), these two with their `detail`.
    bool HasAddress() const { return outcome == ReadOutcome::Decoded && !address.empty(); }
};

// Reads one link, `input`, the one decision the front ends share for a found link or a link
// given whole. In Strict mode the address is what UnwrapDownloadLink gives for `input` (by the
// batch path of linkdecode/batch_unwrap.h, which gives the same bytes), and Auto shows it as
// UTF-8 when it is valid UTF-8, as GBK otherwise. In Repair mode the address is
// ReadRepairedLink's (which alone gives NotAnAddress and CutShort), and Auto also reads as GBK a
// valid UTF-8 address that as UTF-8 holds no Chinese but as GBK only Chinese characters
// (kRepairGbkReading says so).
LinkReading ReadLink(std::string_view input, ReadOptions options);

// The same reading into `reading`, which it replaces whole; in Strict mode the storage of its
// address is reused, so a front end reading many links keeps one LinkReading for them all.
// `plainScheme` is a finder's FoundLink::plainScheme for `input`, or nullptr: it changes no
// reading, only spares looking again at what the finder saw.
void ReadLink(std::string_view input, ReadOptions options, LinkReading& reading,
              const LinkScheme* plainScheme = nullptr);

}  // namespace linkdecode
