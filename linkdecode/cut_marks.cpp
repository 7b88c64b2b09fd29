#include "linkdecode/cut_marks.h"

namespace linkdecode {

namespace {

// Each mark in the charsets a page may be in. An excerpt that cuts a link also cuts what it
// shows, so only marks that say "cut here" belong, never punctuation that ends a sentence.
constexpr std::string_view kCutMarks[] = {
    "\xE2\x80\xA6",                                      // … in UTF-8
    "\xA1\xAD",                                          // … in GBK
    "\xE2\x8B\xAF",                                      // ⋯ in UTF-8
    "...",                                               // three full stops
    "\xE3\x80\x82\xE3\x80\x82\xE3\x80\x82",              // 。。。 in UTF-8
    "\xA1\xA3\xA1\xA3\xA1\xA3",                          // 。。。 in GBK
    "\xEF\xBC\x88\xE7\x9C\x81\xE7\x95\xA5\xEF\xBC\x89",  // （省略） in UTF-8
    "\xA3\xA8\xCA\xA1\xC2\xD4\xA3\xA9",                  // （省略） in GBK
    "(\xE7\x9C\x81\xE7\x95\xA5)",                        // (省略) in UTF-8
    "(\xCA\xA1\xC2\xD4)",                                // (省略) in GBK
    "&hellip;",                                          // … as HTML writes it
    "&#8230;",
    "&#x2026;",
    "\\u2026",  // … as JSON writes it
};

}  // namespace

std::size_t CutMarkLength(std::string_view text) {
    for (const std::string_view mark : kCutMarks) {
        if (text.substr(0, mark.size()) == mark)
            return mark.size();
    }
    return 0;
}

}  // namespace linkdecode
