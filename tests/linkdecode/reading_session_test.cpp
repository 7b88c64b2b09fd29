#include "linkdecode/reading_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "linkdecode/repairs.h"

namespace linkdecode {
namespace {

// A record as a test compares it.
struct Seen {
    std::string input;
    std::uint64_t line;
    std::string outcome;
    std::string address;
    bool tooLong;
    bool operator==(const Seen& other) const {
        return input == other.input && line == other.line && outcome == other.outcome &&
               address == other.address && tooLong == other.tooLong;
    }
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << seen.line << ":" << seen.input << " " << seen.outcome << " " << seen.address;
}

// Feeds `text` to `session` in pieces of `piece` bytes and takes every record after each.
std::vector<Seen> Records(ReadingSession& session, std::string_view text, std::size_t piece) {
    std::vector<Seen> seen;
    const auto take = [&] {
        while (const LinkRecord* r = session.Next())
            seen.push_back({std::string(r->input), r->line, std::string(OutcomeName(*r)),
                            r->reading.address, r->tooLong});
    };
    for (std::size_t at = 0; at < text.size(); at += piece) {
        session.Feed(text.substr(at, piece));
        take();
    }
    session.Finish();
    take();
    return seen;
}

const std::string kOverLong = "qqdl://" + std::string(ReadingSession::MaxLinkBytes(), 'Q');

TEST(ReadingSession, GivesTheSameRecordsWhereverThePiecesAreCut) {
    const struct {
        std::string text;
        ReadMode mode;
        bool wholeIfNone;
        std::vector<Seen> records;
    } cases[] = {
        {"a qqdl://aHR0cDovL2EvYg== b\n\"thunder://QUFodHRwOi8vYS9iWlo=\"",
         ReadMode::Strict,
         true,
         {{"qqdl://aHR0cDovL2EvYg==", 1, "Decoded", "http://a/b", false},
          {"thunder://QUFodHRwOi8vYS9iWlo=", 2, "Decoded", "http://a/b", false}}},
        // Repair joins a wrapped payload, and leaves out what follows a gap and is no part of it.
        {"qqdl://aHR0cDov\nL2EvYg==\nQQDL://aHR0cDovL2EvYg== x",
         ReadMode::Repair,
         false,
         {{"qqdl://aHR0cDov\nL2EvYg==", 1, "Decoded", "http://a/b", false},
          {"QQDL://aHR0cDovL2EvYg==", 3, "Decoded", "http://a/b", false}}},
        {"qqdl://aHR0cDovL2EvYg\nword\n",
         ReadMode::Repair,
         false,
         {{"qqdl://aHR0cDovL2EvYg", 1, "Decoded", "http://a/b", false}}},
        // Without a link, the text read whole, without the white space at its ends.
        {" \n\t http://a/b c \r\n",
         ReadMode::Strict,
         true,
         {{"http://a/b c", 1, "NotALink", "", false}}},
        {" \n\t ", ReadMode::Repair, true, {}},
        {"no link", ReadMode::Strict, false, {}},
        // A link longer than a session reads is given by its start, and not read.
        {kOverLong + " qqdl://eA==",
         ReadMode::Strict,
         false,
         {{kOverLong.substr(0, ReadingSession::MaxLinkBytes()), 1, "TooLong", "", true},
          {"qqdl://eA==", 1, "Decoded", "x", false}}},
        {" " + kOverLong + "= ",
         ReadMode::Strict,
         true,
         {{"qqdl://" + std::string(ReadingSession::MaxLinkBytes() - 7, 'Q'), 1, "TooLong", "",
           true}}},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1} << 21, std::size_t{7}, std::size_t{1}}) {
            if (piece == 1 && c.text.size() > 1000)
                continue;  // a megabyte a byte at a time adds nothing the sevens miss
            ReadingSession session({{c.mode}, c.wholeIfNone});
            // Twice: Finish starts a new text, lines from 1 again.
            for (int text = 0; text < 2; ++text)
                EXPECT_EQ(Records(session, c.text, piece), c.records)
                    << c.text.substr(0, 60) << " in pieces of " << piece;
        }
    }
}

TEST(ReadingSession, HintsWhyALinkGivenWholeGaveNothing) {
    const struct {
        std::string link;
        bool repairWouldDecode;
        bool linkFurtherIn;
    } cases[] = {
        {"see qqdl://eA== here", false, true},
        {"Qqdl://aHR0cDovL2EvYg==", true, false},
        {"http://a/b", false, false},
        {"qqdl://", false, false},
    };
    ReadingSession session({});
    for (const auto& c : cases) {
        const LinkRecord& record = session.ReadWhole(c.link);
        EXPECT_FALSE(record.reading.HasAddress()) << c.link;
        EXPECT_EQ(record.reading.repairWouldDecode, c.repairWouldDecode) << c.link;
        EXPECT_EQ(record.linkFurtherIn, c.linkFurtherIn) << c.link;
        EXPECT_EQ(record.line, 0u);
    }
}

TEST(ReadingSession, CountsWhatRepairWouldFindAsAskedAndOnlyInStrictMode) {
    const struct {
        ReadMode mode;
        bool missedInWholeText;
        std::string text;
        std::size_t count;
    } cases[] = {
        {ReadMode::Strict, false, "Qqdl://eA== QQDL://eA==", 2},
        {ReadMode::Strict, false, "qqdl://eA== QQDL://eA==", 0},  // a link found: not asked
        {ReadMode::Strict, true, "qqdl://eA== QQDL://eA==", 1},
        {ReadMode::Repair, true, "Qqdl://eA==", 0},
    };
    for (const auto& c : cases) {
        ReadingSession session({{c.mode}, false, c.missedInWholeText});
        Records(session, c.text, 4);
        EXPECT_EQ(session.MissedInRepair().count, c.count) << c.text;
        EXPECT_EQ(session.MissedInRepair().repairs, c.count != 0 ? kRepairSchemeCase : 0u);
    }
}

}  // namespace
}  // namespace linkdecode
