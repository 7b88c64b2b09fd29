#include "linkdecode/repair_readings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "linkdecode/link_finder.h"
#include "reference_encoder.h"

namespace linkdecode {
namespace {

using linkdecode::testing::EncodeBase64;

// Links made the way each download manager makes them, with the test's own encoder.
std::string Thunder(const std::string& address, bool pad = true) {
    return "thunder://" + EncodeBase64("AA" + address + "ZZ", pad);
}
std::string FlashGet(const std::string& address) {
    return "flashget://" + EncodeBase64("[FLASHGET]" + address + "[FLASHGET]");
}
std::string Qqdl(const std::string& address, bool pad = true) {
    return "qqdl://" + EncodeBase64(address, pad);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Breaks `link` into lines of `width` bytes, as a mail program or a forum wraps it.
std::string Wrap(const std::string& link, std::size_t width, const std::string& lineBreak) {
    std::string wrapped;
    for (std::size_t at = 0; at < link.size(); at += width)
        wrapped += (at == 0 ? "" : lineBreak) + link.substr(at, width);
    return wrapped;
}

// Real-looking addresses: ASCII, GBK and UTF-8 names, and the other kinds of download address.
const std::string kSetup = "http://dl.example.com/soft/setup_v2.1.exe";
const std::string kGbkFilm = "http://down.example.cn/\xb5\xe7\xd3\xb0/\xcf\xc2\xd4\xd8.rmvb";
const std::string kUtf8Film = "https://cdn.example.cn/\xe7\x94\xb5\xe5\xbd\xb1/\xe4\xb8\x8b.mp4";
const std::string kEd2k =
    "ed2k://|file|\xb5\xe7\xd3\xb0.mkv|734003200|0123456789ABCDEF0123456789ABCDEF|/";
const std::string kMagnet =
    "magnet:?xt=urn:btih:0123456789abcdef0123456789abcdef01234567&dn=a&tr=udp://t.example:80";
const std::string kFtp = "ftp://user:pw@ftp.example.org/pub/iso/disk1.iso";
// Its Base64 holds "+" and "/" in every scheme's wrapping.
const std::string kTilde = "http://a.example.com/~u/?a=??~&b=>>>";

struct RepairCase {
    const char* name;
    std::string link;
    std::string address;
    unsigned repairs;  // exactly the repairs named
};

void ExpectCases(const std::vector<RepairCase>& cases) {
    for (const RepairCase& c : cases) {
        const LinkReading reading = ReadRepairedLink(c.link);
        EXPECT_EQ(reading.outcome, ReadOutcome::Decoded) << c.name;
        EXPECT_EQ(reading.address, c.address) << c.name;
        EXPECT_EQ(reading.repairs, c.repairs) << c.name;
    }
}

TEST(ReadRepairedLink, PercentEncodedWholeLinks) {
    const std::string link = Thunder(kSetup);
    const std::string tail = link.substr(10);
    ExpectCases({
        {"ColonOnly", "thunder%3A//" + ReplaceAll(tail, "=", "%3D"), kSetup, kRepairPercentEscapes},
        {"Separator", "thunder%3A%2F%2F" + tail, kSetup, kRepairPercentEscapes},
        {"LowerHex", "thunder%3a%2f%2f" + tail, kSetup, kRepairPercentEscapes},
        {"Twice", "thunder%253A%252F%252F" + ReplaceAll(tail, "=", "%253D"), kSetup,
         kRepairPercentEscapes},
        {"SymbolsInPayload",
         "qqdl%3A%2F%2F" + ReplaceAll(ReplaceAll(Qqdl(kTilde).substr(7), "+", "%2B"), "/", "%2F"),
         kTilde, kRepairPercentEscapes},
        {"QueryValueTail", "thunder%3A%2F%2F" + tail + "&name=a.exe", kSetup,
         kRepairPercentEscapes},
    });
}

TEST(ReadRepairedLink, SpacesAndLineBreaksInPayload) {
    const std::string tilde = Thunder(kTilde);
    ASSERT_NE(tilde.find('+'), std::string::npos);
    const std::string film = Qqdl(kUtf8Film);
    ExpectCases({
        {"PlusTurnedIntoSpace", ReplaceAll(tilde, "+", " "), kTilde, kRepairSpaceAsPlus},
        {"PlusAsPercentSpace", ReplaceAll(Qqdl(kTilde), "+", "%20"), kTilde,
         kRepairSpaceAsPlus | kRepairPercentEscapes},
        {"WrappedLf", Wrap(FlashGet(kGbkFilm), 40, "\n"), kGbkFilm, kRepairWhitespaceDropped},
        {"WrappedCrLfIndented", Wrap(Thunder(kEd2k), 32, "\r\n    "), kEd2k,
         kRepairWhitespaceDropped},
        {"WrappedAtFour", Wrap(film, 16, "\n"), kUtf8Film, kRepairWhitespaceDropped},
        {"SpaceInserted", film.substr(0, 21) + " " + film.substr(21), kUtf8Film,
         kRepairWhitespaceDropped},
        {"PlusAndWrap", Wrap(ReplaceAll(tilde, "+", " "), 30, "\n"), kTilde,
         kRepairSpaceAsPlus | kRepairWhitespaceDropped},
    });
}

TEST(ReadRepairedLink, FlashGetMarkersAndTags) {
    const std::string link = FlashGet(kSetup);
    ExpectCases({
        {"HeadMarkerOnly", "flashget://" + EncodeBase64("[FLASHGET]" + kSetup), kSetup,
         kRepairMissingMarkers},
        {"NoMarkers", "flashget://" + EncodeBase64(kSetup), kSetup, kRepairMissingMarkers},
        {"TagsAfterPayload", link + "&18859&1270484198847", kSetup, 0},
        {"BareAmpersand", link + "&", kSetup, 0},
        {"WordTag", link + "&abc", kSetup, 0},
        {"EscapedTag", link + "&amp;5769", kSetup, 0},
        {"RefTag", link + "&ref=http://bbs.example.com/t/1", kSetup, 0},
    });
}

TEST(ReadRepairedLink, ThunderWithoutEnvelope) {
    ExpectCases({
        {"NoMarkers", "thunder://" + EncodeBase64(kSetup), kSetup, kRepairMissingMarkers},
        {"HeadOnly", "thunder://" + EncodeBase64("AA" + kFtp), kFtp, kRepairMissingMarkers},
        {"TailOnly", "thunder://" + EncodeBase64(kMagnet + "ZZ"), kMagnet, kRepairMissingMarkers},
        // Markers other than AA and ZZ are still cut by count, as the dialog cuts them.
        {"OtherMarkers", "thunder://" + EncodeBase64("xy" + kSetup + "yx"), kSetup, 0},
    });
}

TEST(ReadRepairedLink, PaddingAndWhatFollowsIt) {
    const std::string padded = Thunder(kGbkFilm);
    ASSERT_EQ(padded.back(), '=');
    // A payload that ends with two symbols of a group, so that a glued "/" adds a byte.
    const std::string bare = Qqdl(kSetup + "xy", false);
    ASSERT_EQ((bare.size() - 7) % 4, 2u);
    std::vector<RepairCase> cases;
    for (const char* after : {"/", ")", ".", "!", "\xa3\xac", "\xef\xbc\x8c", "\xa1\xa3",
                              "\xe3\x80\x82", "\xe3\x80\x8d"})
        cases.push_back({after, padded + after, kGbkFilm, 0});
    cases.push_back({"MissingPadding", Thunder(kGbkFilm, false), kGbkFilm, 0});
    cases.push_back({"ExtraPadding", padded + "=", kGbkFilm, 0});
    cases.push_back({"SlashAfterUnpadded", bare + "/", kSetup + "xy", kRepairTrailingJunk});
    const std::string ftp = kFtp + "1";
    ASSERT_NE((Thunder(ftp, false).size() - 10) % 4, 0u);  // else the "/" would add no byte
    cases.push_back(
        {"SlashAfterUnpaddedThunder", Thunder(ftp, false) + "/", ftp, kRepairTrailingJunk});
    ExpectCases(cases);
}

TEST(ReadRepairedLink, AlphabetsCaseEntitiesAndEscapes) {
    const std::string link = Qqdl(kTilde);
    const std::string tail = Thunder(kTilde).substr(7);
    ExpectCases({
        {"UrlSafe", "qqdl://" + ReplaceAll(ReplaceAll(link.substr(7), "+", "-"), "/", "_"), kTilde,
         kRepairUrlSafeBase64},
        {"MixedAlphabets", "qqdl://" + ReplaceAll(link.substr(7), "+", "-"), kTilde,
         kRepairUrlSafeBase64},
        {"Capitals", "THUNDER" + tail, kTilde, kRepairSchemeCase},
        {"MixedCase", "Flashget" + FlashGet(kSetup).substr(8), kSetup, kRepairSchemeCase},
        {"NumericEntities",
         "qqdl://" + ReplaceAll(ReplaceAll(link.substr(7), "+", "&#43;"), "/", "&#x2F;"), kTilde,
         kRepairHtmlEntities},
        {"JsonSlashes", ReplaceAll(Thunder(kTilde), "/", "\\/"), kTilde, kRepairJsonEscapes},
    });
}

TEST(ReadRepairedLink, DecodedAddresses) {
    const std::string escaped = ReplaceAll(kMagnet, "&", "&amp;");
    const std::string percent = "http://a.example.com/%E4%B8%AD%E6%96%87.zip?x=%26&amp";
    ExpectCases({
        {"AmpersandEntities", Thunder(escaped), kMagnet, kRepairAddressEntities},
        {"LeadingZeros", Thunder(ReplaceAll(kMagnet, "&", "&#x000026;")), kMagnet,
         kRepairAddressEntities},
        {"PercentEncodedAddressStays", Qqdl(percent), percent, 0},
    });
}

// What follows a gap belongs to the link only when the reading used it.
TEST(ReadRepairedLink, SaysHowMuchOfTheTextItRead) {
    const std::string link = Qqdl(kSetup, false);
    EXPECT_EQ(ReadRepairedLink(link + " hello").inputLength, link.size());
    const std::string wrapped = Wrap(link, 20, "\n");
    EXPECT_EQ(ReadRepairedLink(wrapped).inputLength, wrapped.size());
}

// Words after a bare scheme, which a repair could read as a payload: only an address that
// starts as a download address does would show they are one.
TEST(ReadRepairedLink, MakesNoAddressOfTheWordsAfterABareScheme) {
    const std::string wrapped = Qqdl(kSetup);
    ExpectCases({
        {"WordAsPlus", "qqdl:// flashget", "", 0},
        {"PayloadAfterSpace", "thunder:// QUFo", "", 0},
        {"PayloadAfterBreak", "thunder://\nQUFo", "", 0},
        {"LonePlus", "qqdl:// +", "", 0},
        {"CapitalScheme", "QQDL:// flashget", "", kRepairSchemeCase},
        {"WrappedAfterScheme", "qqdl://\n" + wrapped.substr(7), kSetup, kRepairWhitespaceDropped},
    });
}

TEST(ReadRepairedLink, RefusesWhatHoldsNoLink) {
    for (const std::string text : {"", "hello", "http://a/b", "thunder:/QUFh", "xthunder://QUFh"}) {
        const LinkReading reading = ReadRepairedLink(text);
        EXPECT_NE(reading.outcome, ReadOutcome::Decoded) << text;
        EXPECT_EQ(reading.repairs, 0u) << text;
    }
}

// What repair mode reads from each link found in `text`.
std::vector<LinkReading> ReadAll(const std::string& text) {
    std::vector<LinkReading> readings;
    for (const FoundLink& link : FindLinks(text, ReadMode::Repair, kMaxLinkBytes))
        readings.push_back(ReadLink(link.text, {ReadMode::Repair, Charset::Auto}));
    return readings;
}

// Words after a scheme and short Base64 decode to a few bytes that no markers vouch for; a link
// an excerpt cut off decodes to the start of an address. None of them is offered.
TEST(ReadLink, NamesWhatIsNoAddress) {
    struct Case {
        std::string text;
        ReadOutcome outcome;
        std::string whole;  // the address whose start a cut link's detail is
    };
    std::vector<Case> cases = {
        {"the thunder://protocol is used by Xunlei", ReadOutcome::NotAnAddress, ""},
        {"例如 qqdl://test 这样", ReadOutcome::NotAnAddress, ""},
        {"see thunder://efgh and qqdl://efgh", ReadOutcome::NotAnAddress, ""},
        {"flashget://abcd", ReadOutcome::NotAnAddress, ""},
        {"thunder://hello world", ReadOutcome::NotAnAddress, ""},
        {"Thunder://Download now", ReadOutcome::NotAnAddress, ""},
        {"flashget://LinksForEveryDownloadManager.", ReadOutcome::NotAnAddress, ""},
        {"qqdl://xuanfeng", ReadOutcome::NotAnAddress, ""},
        {"thunder://QQ==", ReadOutcome::NotAnAddress, ""},
        {"qqdl://QUI", ReadOutcome::NotAnAddress, ""},
        {"thunder://...", ReadOutcome::CutShort, ""},
    };
    const std::string marks[] = {"…",      "⋯",        "...",      "。。。",   "（省略）",
                                 "(省略)", "\xa1\xad", "&hellip;", "…（省略）"};
    const std::pair<std::string, std::string> whole[] = {{Thunder(kSetup, false), kSetup},
                                                         {FlashGet(kGbkFilm), kGbkFilm},
                                                         {Qqdl(kUtf8Film), kUtf8Film}};
    for (const auto& [link, address] : whole) {
        for (const std::size_t cut : {16, 23, 37}) {
            for (const std::string& mark : marks)
                cases.push_back({"地址：" + link.substr(0, link.size() - cut) + mark,
                                 ReadOutcome::CutShort, address});
        }
    }
    for (const Case& c : cases) {
        const std::vector<LinkReading> readings = ReadAll(c.text);
        ASSERT_FALSE(readings.empty()) << c.text;
        for (const LinkReading& reading : readings) {
            EXPECT_EQ(reading.outcome, c.outcome) << c.text;
            EXPECT_FALSE(reading.HasAddress()) << c.text;
            if (!c.whole.empty()) {
                EXPECT_GE(reading.detail.size(), 10u) << c.text;
                EXPECT_EQ(c.whole.substr(0, reading.detail.size()), reading.detail) << c.text;
            }
        }
    }
}

// Beside them, real links clean or damaged keep their addresses: markers vouch for whatever they
// wrap, an address vouches for itself, and a link that lacks its tail where links end is whole.
TEST(ReadLink, StillOffersRealLinks) {
    const std::string hash = "0123456789ABCDEF0123456789ABCDEF";
    const std::string host = "www.example.com/a.rar";
    const struct {
        std::string text;
        std::string address;
    } cases[] = {
        {"下载：" + Thunder(kSetup) + " 或 " + Qqdl(kMagnet), kSetup},
        {Thunder(hash), hash},
        {Thunder(hash, false) + "…", hash},
        {Qqdl(host), host},
        {Qqdl("192.168.1.10:8080/a.iso"), "192.168.1.10:8080/a.iso"},
        {"thunder://" + EncodeBase64(host), host},
        {Qqdl(kSetup) + "…", kSetup},
        {"thunder://" + EncodeBase64("AA" + kFtp, false) + "。", kFtp},
        {Wrap(Qqdl(kEd2k), 30, "\n"), kEd2k},
        {"flashget://W0ZMQVNIR0VUXUFCW0ZMQVNIR0VUXQ", "AB"},
        {Qqdl("thunder://" + EncodeBase64("AA" + kSetup + "ZZ")),
         "thunder://" + EncodeBase64("AA" + kSetup + "ZZ")},
    };
    for (const auto& c : cases) {
        const std::vector<LinkReading> readings = ReadAll(c.text);
        ASSERT_FALSE(readings.empty()) << c.text;
        EXPECT_EQ(readings[0].outcome, ReadOutcome::Decoded) << c.text;
        EXPECT_EQ(readings[0].address, c.address) << c.text;
        for (const LinkReading& reading : readings)
            EXPECT_TRUE(reading.HasAddress()) << c.text;
    }
}

// A GBK name that is also valid UTF-8 reads as GBK in repair mode only, and says so.
TEST(ReadLink, ChoosesTheChineseReading) {
    struct Case {
        std::string address;
        Charset strict;
        Charset repair;
    };
    const Case cases[] = {
        {"http://a.cn/\xc3\xa9.mp3", Charset::Utf8, Charset::Gbk},  // 茅 in GBK, é in UTF-8
        {"http://a.cn/\xc3\xa9\xcc\xa8.rar", Charset::Utf8, Charset::Gbk},
        {kUtf8Film, Charset::Utf8, Charset::Utf8},
        {kGbkFilm, Charset::Gbk, Charset::Gbk},
        {kSetup, Charset::Utf8, Charset::Utf8},
    };
    for (const Case& c : cases) {
        const std::string link = Thunder(c.address);
        EXPECT_EQ(ReadLink(link, {ReadMode::Strict, Charset::Auto}).charset, c.strict);
        const LinkReading repaired = ReadLink(link, {ReadMode::Repair, Charset::Auto});
        EXPECT_EQ(repaired.charset, c.repair) << c.address;
        EXPECT_EQ(repaired.repairs, c.repair != c.strict ? unsigned{kRepairGbkReading} : 0u);
        // A charset asked for is kept.
        EXPECT_EQ(ReadLink(link, {ReadMode::Repair, Charset::Utf8}).charset, Charset::Utf8);
    }
}

}  // namespace
}  // namespace linkdecode
