#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/link_finder.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/link_record.h"
#include "linkdecode/missed_links.h"

namespace linkdecode {

struct SessionOptions {
    ReadOptions read;
    // A text that holds no link but is not blank gives one record, the text without the white
    // space at its ends read whole, as the dialog reads a paste.
    bool wholeIfNone = false;
    // Strict mode: count what repair mode would find more in the whole text, not only while the
    // text has given no link (which is all a front end that reports it only then needs).
    bool missedInWholeText = false;
};

// Reads the links of texts, each fed in pieces of any size, or of links given whole, into
// records: the one loop every front end runs. It finds the links, skips a link longer than it
// reads, reads each (ReadLink) when its record is taken, cuts the input to what the reading
// covers, and keeps the hints a front end gives when nothing was read. Memory stays bounded
// whatever the text's size.
class ReadingSession {
public:
    explicit ReadingSession(SessionOptions options);

    // The record of `link` read whole, as a link given on a command line. It hints at a link
    // further in when it gives no address.
    [[nodiscard]] const LinkRecord& ReadWhole(std::string_view link);

    // Gives the next piece of a text, which follows everything fed since the last Finish; where
    // the pieces are cut changes no record. The records of the links found in `piece` view it,
    // so it must stay as it is until they are taken, or KeepPending was called.
    void Feed(std::string_view piece);

    // Copies what the records not yet taken view, for a caller that lets go of its pieces before
    // it takes their records.
    void KeepPending();

    // Ends the text; the records still to take follow, and the next Feed starts a new text.
    void Finish();

    // The next record of the text, read now, or nullptr when none is ready: the links that
    // ended in the pieces fed so far, and after Finish the rest.
    [[nodiscard]] const LinkRecord* Next();

    // How many links the current text has given so far (found, not only taken).
    std::size_t Found() const { return found_; }

    // After Finish, in Strict mode: what repair mode would find in the text besides (while it
    // gave no link, unless SessionOptions asked for the whole text). Nothing in Repair mode.
    const MissedLinks& MissedInRepair() const { return missed_; }

    // The longest link the session reads; a longer one gives a record that is tooLong.
    static constexpr std::size_t MaxLinkBytes() { return kMaxLinkBytes; }

private:
    void Take();  // gives the finder back the links taken, once all are
    void KeepWhole(std::string_view piece);
    void DropWhole();
    void Read(std::string_view text, const LinkScheme* plainScheme = nullptr);

    SessionOptions options_;
    LinkFinder finder_;
    MissedLinkCounter missedCounter_;
    bool counting_ = true;          // the counter still sees the text
    bool finished_ = false;         // the next Feed starts a new text
    std::vector<FoundLink> links_;  // found, not yet taken
    std::size_t next_ = 0;          // the first of links_ not yet taken
    std::size_t found_ = 0;
    MissedLinks missed_;
    // wholeIfNone, while the text gives no link: its first kMaxLinkBytes bytes after the white
    // space it starts with, and the length up to its last byte that is not white space.
    std::string whole_;
    std::size_t wholeLength_ = 0;
    std::size_t wholeSeen_ = 0;  // bytes of the text after its leading white space
    LinkRecord record_;
};

}  // namespace linkdecode
