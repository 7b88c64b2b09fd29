#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// Whether a scheme name in text must be written in lower case, as UnwrapDownloadLink wants it,
// or may be written in any letter case (a lenient reading repairs it afterwards).
enum class SchemeCase { Exact, Any };

struct FoundLink {
    std::string text;        // from the scheme's first letter on, at most the finder's cap
    std::size_t fullLength;  // bytes of the whole link; above text.size() when it was cut
    std::uint64_t line;      // 1-based line of the link's first byte
};

// Finds the private links in a text that arrives in pieces of any size, in constant memory.
//
// A link starts at "thunder://", "flashget://" or "qqdl://" wherever it stands (after a quote,
// an "=", a word) and runs to the first space, tab, line break, vertical tab, form feed, '"',
// "'", "<", ">" or the end of the text. Inside a link nothing starts a new one, so a second
// prefix glued to the first payload stays part of the first link, as UnwrapDownloadLink reads it.
// A link longer than `maxLinkBytes` keeps its first `maxLinkBytes` bytes and its full length.
class LinkFinder {
public:
    // `maxLinkBytes` bounds the memory a single link may take. A smaller value than the longest
    // prefix is raised to it, so that a cut link still holds its whole scheme.
    LinkFinder(SchemeCase schemeCase, std::size_t maxLinkBytes);

    // Scans `piece`, the text that follows everything fed before, and appends to `completed`
    // every link that ends within it, in text order. A link still open at the end of `piece`
    // is completed by a later Feed or by Finish. Where the pieces are cut never changes the
    // links found.
    void Feed(std::string_view piece, std::vector<FoundLink>& completed);

    // Ends the text: appends the link still open, if any, and resets the finder for a new text.
    void Finish(std::vector<FoundLink>& completed);

private:
    // Returns the first byte of the next scheme at or after `from`, or npos; sets `undecided`
    // to where the undecidable tail of `text` begins when none is found.
    std::size_t FindSchemeStart(std::string_view text, std::size_t from,
                                std::size_t& undecided) const;

    SchemeCase schemeCase_;
    std::size_t maxLinkBytes_;
    std::string carry_;  // a tail too short to tell whether a scheme starts in it
    bool inLink_ = false;
    FoundLink current_{};
    std::uint64_t line_ = 1;  // line of the first byte not yet scanned
};

// Returns every link of a whole `text`, as a LinkFinder fed it in one piece finds them.
std::vector<FoundLink> FindLinks(std::string_view text, SchemeCase schemeCase,
                                 std::size_t maxLinkBytes);

}  // namespace linkdecode
