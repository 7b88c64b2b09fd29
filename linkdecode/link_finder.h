#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/link_unwrap.h"
#include "linkdecode/read_mode.h"
#include "linkdecode/scheme_match.h"

namespace linkdecode {

// The longest link a front end reads: a real link is a few hundred bytes, and this bounds the
// memory one link of a text can take. A longer one is skipped with its length.
inline constexpr std::size_t kMaxLinkBytes = 1 << 20;

// A link found in a text. `text` views the piece it was found in, valid until the finder's next
// Feed or Finish, unless the link had to be put together (across pieces, or from what the finder
// kept back), when it views `storage`, which the link owns; Own makes it so.
struct FoundLink {
    std::string_view text;       // from the scheme's first letter on, at most the finder's cap
    std::size_t fullLength = 0;  // bytes of the whole link; above text.size() when it was cut
    std::uint64_t line = 0;      // 1-based line of the link's first byte
    std::string storage;         // the bytes of `text` when `owned`
    bool owned = false;
    // Strict mode: the scheme whose prefix starts `text` when no ":" follows it, so that the
    // prefix stands there once (UnwrapPlainLinkBatch); nullptr when that was not seen.
    const LinkScheme* plainScheme = nullptr;

    FoundLink() = default;
    FoundLink(std::string_view linkText, std::size_t length, std::uint64_t firstLine)
        : text(linkText), fullLength(length), line(firstLine) {}
    FoundLink(const FoundLink& other)
        : text(other.text),
          fullLength(other.fullLength),
          line(other.line),
          storage(other.storage),
          owned(other.owned),
          plainScheme(other.plainScheme) {
        Repoint();
    }
    FoundLink(FoundLink&& other) noexcept
        : text(other.text),
          fullLength(other.fullLength),
          line(other.line),
          storage(std::move(other.storage)),
          owned(other.owned),
          plainScheme(other.plainScheme) {
        Repoint();
    }
    FoundLink& operator=(const FoundLink& other) {
        text = other.text;
        fullLength = other.fullLength;
        line = other.line;
        storage = other.storage;
        owned = other.owned;
        plainScheme = other.plainScheme;
        Repoint();
        return *this;
    }
    FoundLink& operator=(FoundLink&& other) noexcept {
        text = other.text;
        fullLength = other.fullLength;
        line = other.line;
        storage = std::move(other.storage);
        owned = other.owned;
        plainScheme = other.plainScheme;
        Repoint();
        return *this;
    }

    // Copies the bytes of `text` into `storage`, so that it outlives the piece it was found in.
    void Own() {
        if (owned)
            return;
        storage.assign(text);
        owned = true;
        text = storage;
    }

private:
    void Repoint() {
        if (owned)
            text = storage;
    }
};

// Finds the private links in a text that arrives in pieces of any size, in constant memory.
//
// A link starts at "thunder://", "flashget://" or "qqdl://" wherever it stands (after a quote,
// an "=", a word) and runs to the first byte that ends a link (EndsLink: white space, quotes,
// angle brackets) or the end of the text, or to where a scheme starts after its payload has plainly
// ended: after a byte that is no Base64 symbol, not counting prefixes of the link's own scheme
// glued to it, which UnwrapDownloadLink removes and reads on through. So a second prefix glued to
// the payload stays part of the link, as UnwrapDownloadLink reads it, while a list such as
// "$thunder://...#$thunder://...#" gives each of its links; what the first link loses is what
// UnwrapDownloadLink never reads.
// A link longer than `maxLinkBytes` keeps its first `maxLinkBytes` bytes and its full length.
//
// In Repair mode the scheme may be written in any letter case and its "://" in any form
// SeparatorLength reads ("thunder%3A%2F%2F" in a query string), and a link goes on across a
// space, a tab or a line break (with the next line's indent) when what follows is a run of
// payload bytes that ends the line or stands alone, and the link is not padded yet: a wrapped
// line, or a "+" a web form turned into a space. A gap or a run longer than `maxLinkBytes` is
// neither. ReadRepairedLink decides whether it belongs.
class LinkFinder {
public:
    // `maxLinkBytes` bounds the memory a single link may take. A smaller value than the longest
    // prefix is raised to it, so that a cut link still holds its whole scheme.
    LinkFinder(ReadMode mode, std::size_t maxLinkBytes);

    // Scans `piece`, the text that follows everything fed before, and appends to `completed`
    // every link that ends within it, in text order. A link still open at the end of `piece`
    // is completed by a later Feed or by Finish. Where the pieces are cut never changes the
    // links found. The links appended may view `piece` (FoundLink).
    void Feed(std::string_view piece, std::vector<FoundLink>& completed);

    // Ends the text: appends the links still open or undecided, and resets the finder for a new
    // text.
    void Finish(std::vector<FoundLink>& completed);

    // Takes back the storage of links the caller is done with and empties `handled`, so that a
    // caller reading many links this way allocates nothing per link. What is kept is bounded.
    void Recycle(std::vector<FoundLink>& handled);

private:
    void Scan(std::string_view piece, bool final, std::vector<FoundLink>& completed);
    // Scans `text`, the carry and the bytes that follow it, leaving a new carry when it must.
    void ScanText(std::string_view text, bool final, std::vector<FoundLink>& completed);

    // Returns the first byte of the next scheme at or after `from`, or npos; sets `found` to the
    // scheme and its length when one is found, and `undecided` to where the undecidable tail of
    // `text` begins when none is (none when `final`).
    std::size_t FindSchemeStart(std::string_view text, std::size_t from, bool final,
                                std::size_t& undecided, SchemeStart& found) const;

    // Where a link that reached white space at text[at] ends, after the runs of payload that
    // go on after the gaps (Repair mode); `at` if none does. Sets `undecided` when the end of a
    // piece that is not `final` leaves that open.
    std::size_t ContinuationEnd(std::string_view text, std::size_t at, bool final, bool& undecided);

    // Where a scheme in text[pos, end), the rest of the open link, starts a link of its own, or
    // npos. Lowers `end` to keep back a tail that may hold a scheme cut by the end of a piece
    // that is not `final`.
    // Sets `separatorFree` when it found none of the separator's first bytes in text[pos, end).
    std::size_t SchemeInLink(std::string_view text, std::size_t pos, std::size_t& end, bool final,
                             bool& separatorFree);

    void Append(std::string_view part);
    void OwnCurrent();
    // Makes the links appended to `completed` from `first` on that view `text` own their bytes,
    // and the open link too, before `text` goes.
    void Keep(std::string_view text, std::vector<FoundLink>& completed, std::size_t first);

    ReadMode mode_;
    std::size_t maxLinkBytes_;
    std::string carry_;  // a tail too short to tell whether a scheme starts or a link goes on
    bool inLink_ = false;
    bool padded_ = false;  // the open link holds padding, so its payload has ended
    std::string seam_;     // the open link's last bytes, where an escaped "=" may be cut
    const LinkScheme* scheme_ = nullptr;  // the open link's scheme
    std::size_t prefixLeft_ = 0;          // the bytes of its prefix at the scan's position
    bool ended_ = false;  // a byte no Base64 symbol came after the open link's prefix
    FoundLink current_{};
    std::uint64_t line_ = 1;          // line of the first byte not yet scanned
    std::string joined_;              // the carry and the next piece's start; its storage is reused
    std::vector<std::string> spare_;  // recycled link storage
    std::size_t spareBytes_ = 0;      // the capacity held in spare_
};

// Returns every link of a whole `text`, as a LinkFinder fed it in one piece finds them, each
// owning its bytes.
std::vector<FoundLink> FindLinks(std::string_view text, ReadMode mode, std::size_t maxLinkBytes);

}  // namespace linkdecode
