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
    SchemeCase schemeCase;
    std::vector<std::string> links;
};

const std::string kLink = "thunder://QUFodHRwOi8vYS9iWlo=";

const FindCase kFindCases[] = {
    {"Nothing", "no links here: http://a/b", SchemeCase::Exact, {}},
    {"Alone", kLink, SchemeCase::Exact, {kLink}},
    {"HtmlAttribute", "<a href=\"" + kLink + "\">get</a>", SchemeCase::Exact, {kLink}},
    {"SingleQuotes", "<a href='" + kLink + "'>", SchemeCase::Exact, {kLink}},
    {"AngleBrackets", "<" + kLink + ">", SchemeCase::Exact, {kLink}},
    {"Prose",
     "Download: " + kLink + " or qqdl://eA== now.",
     SchemeCase::Exact,
     {kLink, "qqdl://eA=="}},
    {"GluedToWord", "\xcf\xc2\xd4\xd8" + kLink + "\t", SchemeCase::Exact, {kLink}},
    {"EachLineEndingKind",
     kLink + "\r\n" + kLink + "\n" + kLink + "\v" + kLink + "\f",
     SchemeCase::Exact,
     {kLink, kLink, kLink, kLink}},
    {"SecondPrefixStaysInside",
     kLink + "flashget://W0ZM",
     SchemeCase::Exact,
     {kLink + "flashget://W0ZM"}},
    {"BareScheme", "use qqdl:// links", SchemeCase::Exact, {"qqdl://"}},
    {"AllThree",
     "flashget://a thunder://b qqdl://c",
     SchemeCase::Exact,
     {"flashget://a", "thunder://b", "qqdl://c"}},
    {"TagAfterPayloadKept", "flashget://W0ZM&1926 x", SchemeCase::Exact, {"flashget://W0ZM&1926"}},
    {"CapitalNotFoundExactly", "Thunder://QUFh", SchemeCase::Exact, {}},
    {"CapitalFoundAnyCase", "x=Thunder://QUFh;", SchemeCase::Any, {"Thunder://QUFh;"}},
    {"UpperFoundAnyCase", "QQDL://eA==", SchemeCase::Any, {"QQDL://eA=="}},
    {"SingleSlash", "thunder:/QUFh thunder:QUFh", SchemeCase::Exact, {}},
    {"NameCutAtStart", "under://QUFh", SchemeCase::Exact, {}},
    {"EndsAtText", "see thunder://", SchemeCase::Exact, {"thunder://"}},
};

TEST(FindLinks, FindsLinksInText) {
    for (const FindCase& c : kFindCases) {
        std::vector<std::string> found;
        for (const FoundLink& link : FindLinks(c.text, c.schemeCase, 1 << 20)) {
            EXPECT_EQ(link.fullLength, link.text.size()) << c.name;
            found.push_back(link.text);
        }
        EXPECT_EQ(found, c.links) << c.name;
    }
}

TEST(FindLinks, CountsLines) {
    const auto links = FindLinks("a\nb " + kLink + "\n\n\r\nqqdl://x\n", SchemeCase::Exact, 64);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].line, 2u);
    EXPECT_EQ(links[1].line, 5u);
}

TEST(FindLinks, CapsLongLinksButCountsThem) {
    const std::string payload(5000, 'Q');
    const auto links = FindLinks("qqdl://" + payload + " qqdl://eA==", SchemeCase::Exact, 100);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].text, ("qqdl://" + payload).substr(0, 100));
    EXPECT_EQ(links[0].fullLength, 7 + payload.size());
    EXPECT_EQ(links[1].text, "qqdl://eA==");
}

// Feeding the same text cut at random places gives the same links, lines and lengths.
TEST(LinkFinder, PieceBoundariesDoNotMatter) {
    std::string text;
    for (const FindCase& c : kFindCases)
        text += c.text + "\n";
    text += "qqdl://" + std::string(300, 'A') + "\n";
    for (SchemeCase schemeCase : {SchemeCase::Exact, SchemeCase::Any}) {
        const auto whole = FindLinks(text, schemeCase, 128);
        std::mt19937 random(7);
        for (int round = 0; round < 200; ++round) {
            std::uniform_int_distribution<std::size_t> size(1, round < 100 ? 3 : 40);
            LinkFinder finder(schemeCase, 128);
            std::vector<FoundLink> pieces;
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t n = size(random);
                finder.Feed(std::string_view(text).substr(at, n), pieces);
                at += n;
            }
            finder.Finish(pieces);
            ASSERT_EQ(pieces.size(), whole.size()) << round;
            for (std::size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(pieces[i].text, whole[i].text) << round;
                EXPECT_EQ(pieces[i].fullLength, whole[i].fullLength) << round;
                EXPECT_EQ(pieces[i].line, whole[i].line) << round;
            }
        }
    }
}

TEST(LinkFinder, FinishStartsANewText) {
    LinkFinder finder(SchemeCase::Exact, 64);
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
