#include "linkdecode/link_finder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace linkdecode {
namespace {

struct FindCase {
    const char* name;
    std::string text;
    ReadMode mode;
    std::vector<std::string> links;
};

const std::string kLink = "thunder://QUFodHRwOi8vYS9iWlo=";
const std::string kEntry = "\xb5\xda";  // as a GBK page numbers the entries of a list

const FindCase kFindCases[] = {
    {"Nothing", "no links here: http://a/b", ReadMode::Strict, {}},
    {"Alone", kLink, ReadMode::Strict, {kLink}},
    {"HtmlAttribute", "<a href=\"" + kLink + "\">get</a>", ReadMode::Strict, {kLink}},
    {"SingleQuotes", "<a href='" + kLink + "'>", ReadMode::Strict, {kLink}},
    {"AngleBrackets", "<" + kLink + ">", ReadMode::Strict, {kLink}},
    {"Prose",
     "Download: " + kLink + " or qqdl://eA== now.",
     ReadMode::Strict,
     {kLink, "qqdl://eA=="}},
    {"GluedToWord", "\xcf\xc2\xd4\xd8" + kLink + "\t", ReadMode::Strict, {kLink}},
    {"EachLineEndingKind",
     kLink + "\r\n" + kLink + "\n" + kLink + "\v" + kLink + "\f",
     ReadMode::Strict,
     {kLink, kLink, kLink, kLink}},
    {"SecondPrefixGluedStaysInside",
     "thunder://QUFodHRwOi8vYS9iWloflashget://W0ZM",
     ReadMode::Strict,
     {"thunder://QUFodHRwOi8vYS9iWloflashget://W0ZM"}},
    {"OwnPrefixGluedIsReadOnThrough",
     "qqdl://eAqqdl://eA#qqdl://eQ",
     ReadMode::Strict,
     {"qqdl://eAqqdl://eA#", "qqdl://eQ"}},
    {"PaddingEndsThePayload",
     kLink + "flashget://W0ZM",
     ReadMode::Strict,
     {kLink, "flashget://W0ZM"}},
    {"ListEntriesStrict",
     "var u=\"" + kEntry + "01$" + kLink + "#" + kEntry + "02$qqdl://eA#\";",
     ReadMode::Strict,
     {kLink + "#" + kEntry + "02$", "qqdl://eA#"}},
    {"ListEntriesRepair",
     "u=\"01$thunder://QUFh#02$Thunder%3A%2F%2FQUFi#\"",
     ReadMode::Repair,
     {"thunder://QUFh#02$", "Thunder%3A%2F%2FQUFi#"}},
    {"GluedOtherPrefixEndsThePayload",
     "thunder://QUFhflashget://W0ZMqqdl://eA",
     ReadMode::Strict,
     {"thunder://QUFhflashget://W0ZM", "qqdl://eA"}},
    {"BareScheme", "use qqdl:// links", ReadMode::Strict, {"qqdl://"}},
    {"AllThree",
     "flashget://a thunder://b qqdl://c",
     ReadMode::Strict,
     {"flashget://a", "thunder://b", "qqdl://c"}},
    {"TagAfterPayloadKept", "flashget://W0ZM&1926 x", ReadMode::Strict, {"flashget://W0ZM&1926"}},
    {"CapitalNotFoundExactly", "Thunder://QUFh", ReadMode::Strict, {}},
    {"CapitalFoundAnyCase", "x=Thunder://QUFh;", ReadMode::Repair, {"Thunder://QUFh;"}},
    {"UpperFoundAnyCase", "QQDL://eA==", ReadMode::Repair, {"QQDL://eA=="}},
    {"SingleSlash", "thunder:/QUFh thunder:QUFh", ReadMode::Strict, {}},
    {"NameCutAtStart", "under://QUFh", ReadMode::Strict, {}},
    {"EndsAtText", "see thunder://", ReadMode::Strict, {"thunder://"}},
    {"PercentSchemeInQuery",
     "<a href=\"/go?url=thunder%3A%2F%2FQUFh%3D&n=1\">",
     ReadMode::Repair,
     {"thunder%3A%2F%2FQUFh%3D&n=1"}},
    {"PercentSchemeNotStrict", "?u=thunder%3A%2F%2FQUFh", ReadMode::Strict, {}},
    {"TwicePercentAndJson",
     "u=qqdl%253A%252F%252FeA x:'flashget:\\/\\/W0ZM'",
     ReadMode::Repair,
     {"qqdl%253A%252F%252FeA", "flashget:\\/\\/W0ZM"}},
    {"WrappedLines",
     "get it:\nqqdl://aHR0cDovL2V4\r\n  YW1wbGUuY29t\nL2Euemlw== thanks\nbye",
     ReadMode::Repair,
     {"qqdl://aHR0cDovL2V4\r\n  YW1wbGUuY29t\nL2Euemlw=="}},
    {"WrappedNotStrict", "qqdl://aHR0\nY29t==", ReadMode::Strict, {"qqdl://aHR0"}},
    {"SpacesForPlus", "qqdl://aHR0 cDov L2E=\"", ReadMode::Repair, {"qqdl://aHR0 cDov L2E="}},
    {"PaddedEndsAtSpace", "qqdl://eA== eA==", ReadMode::Repair, {"qqdl://eA=="}},
    {"ProseIsNoPayload", "qqdl://eA then, ok", ReadMode::Repair, {"qqdl://eA"}},
    {"NextLinkIsNoPayload", "qqdl://eA\nqqdl://eQ", ReadMode::Repair, {"qqdl://eA", "qqdl://eQ"}},
};

TEST(FindLinks, FindsLinksInText) {
    for (const FindCase& c : kFindCases) {
        std::vector<std::string> found;
        for (const FoundLink& link : FindLinks(c.text, c.mode, 1 << 20)) {
            EXPECT_EQ(link.fullLength, link.text.size()) << c.name;
            found.emplace_back(link.text);
        }
        EXPECT_EQ(found, c.links) << c.name;
    }
}

// A link at the very end of a text is the link the same text followed by a blank line holds.
TEST(FindLinks, TextEndEndsALinkAsALineBreakDoes) {
    for (const std::string text :
         {"thunder:// QUFo", "thunder://\nQUFo", "qqdl:// +", "qqdl://aHR0cDovL2V4\nYW1wbGUuY29t",
          "qqdl://aHR0 cDov", "qqdl://eA x"}) {
        for (ReadMode mode : {ReadMode::Strict, ReadMode::Repair}) {
            std::vector<std::string> atEnd;
            std::vector<std::string> beforeBlank;
            for (const FoundLink& link : FindLinks(text, mode, 1 << 20))
                atEnd.emplace_back(link.text);
            for (const FoundLink& link : FindLinks(text + "\n\n", mode, 1 << 20))
                beforeBlank.emplace_back(link.text);
            EXPECT_EQ(atEnd, beforeBlank) << text;
        }
    }
}

TEST(FindLinks, CountsLines) {
    const auto links = FindLinks("a\nb " + kLink + "\n\n\r\nqqdl://x\n", ReadMode::Strict, 64);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].line, 2u);
    EXPECT_EQ(links[1].line, 5u);
}

TEST(FindLinks, CountsLinesInsideWrappedLinks) {
    const auto links = FindLinks("qqdl://aHR0\ncDov\nL2E=\nqqdl://eA\n", ReadMode::Repair, 64);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].line, 1u);
    EXPECT_EQ(links[1].line, 4u);
}

TEST(FindLinks, CapsLongLinksButCountsThem) {
    const std::string payload(5000, 'Q');
    const auto links = FindLinks("qqdl://" + payload + " qqdl://eA==", ReadMode::Strict, 100);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].text, ("qqdl://" + payload).substr(0, 100));
    EXPECT_EQ(links[0].fullLength, 7 + payload.size());
    EXPECT_EQ(links[1].text, "qqdl://eA==");
}

// Feeding the same text cut at random places gives the same links, lines and lengths, with the
// storage of handled links recycled in every other round. Large pieces are scanned in place after
// their first bytes; a long wrapped run makes what is left undecided reach back past those.
TEST(LinkFinder, PieceBoundariesDoNotMatter) {
    std::string text;
    for (const FindCase& c : kFindCases)
        text += c.text + "\n";
    text += "qqdl://" + std::string(300, 'A') + "\n";
    // A run after a gap longer than a link may be, and an escaped "=" cut between pieces.
    text += "thunder://QUFB\n" + std::string(200, 'B') + " x\n";
    text += "qqdl://QUFB%253D and more\n";
    text += "thunder://QUFB\n" + std::string(2000, 'C') + "\n" + text;
    for (const std::size_t cap : {std::size_t{128}, std::size_t{4096}}) {
        for (ReadMode mode : {ReadMode::Strict, ReadMode::Repair}) {
            const auto whole = FindLinks(text, mode, cap);
            std::mt19937 random(7);
            for (int round = 0; round < 150; ++round) {
                std::uniform_int_distribution<std::size_t> size(1, round < 50    ? 3
                                                                   : round < 100 ? 40
                                                                                 : 3000);
                LinkFinder finder(mode, cap);
                std::vector<FoundLink> pieces;
                std::vector<FoundLink> fed;
                const auto take = [&] {
                    pieces.insert(pieces.end(), fed.begin(), fed.end());
                    if (round % 2 != 0)
                        finder.Recycle(fed);
                    fed.clear();
                };
                for (std::size_t at = 0; at < text.size();) {
                    const std::size_t n = size(random);
                    finder.Feed(std::string_view(text).substr(at, n), fed);
                    take();
                    at += n;
                }
                finder.Finish(fed);
                take();
                ASSERT_EQ(pieces.size(), whole.size()) << round;
                for (std::size_t i = 0; i < whole.size(); ++i) {
                    EXPECT_EQ(pieces[i].text, whole[i].text) << round;
                    EXPECT_EQ(pieces[i].fullLength, whole[i].fullLength) << round;
                    EXPECT_EQ(pieces[i].line, whole[i].line) << round;
                }
            }
        }
    }
}

TEST(LinkFinder, FinishStartsANewText) {
    LinkFinder finder(ReadMode::Strict, 64);
    std::vector<FoundLink> links;
    finder.Feed("x\nqqdl://a", links);
    finder.Finish(links);
    finder.Feed("qqdl://b", links);
    finder.Finish(links);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1].text, "qqdl://b");
    EXPECT_EQ(links[1].line, 1u);
}

}  // namespace
}  // namespace linkdecode
