#include "linkdecode/link_unwrap.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "reference_encoder.h"

namespace linkdecode {
namespace {

using linkdecode::testing::EncodeBase64;

#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

std::string Thunder(const std::string& inner) {
    return "thunder://" + EncodeBase64(inner);
}
std::string FlashGet(const std::string& inner) {
    return "flashget://" + EncodeBase64(inner);
}

const std::string kFlashMarker = "[FLASHGET]";
// 17 decoded bytes would need padding; 18 bytes encode to a whole number of quanta.
const std::string kUnpaddedThunder = "AAhttp://a.cn/xzZZ";

struct UnwrapCase {
    const char* name;
    std::string pasted;
    UnwrapOutcome outcome;
    std::string address;
};

const UnwrapCase kUnwrapCases[] = {
    // No slash: nothing is examined, not even a prefix-like start.
    {"EmptyIsIgnored", "", UnwrapOutcome::Ignored, ""},
    {"PlainWordIsIgnored", "hello", UnwrapOutcome::Ignored, ""},
    {"SchemeWithoutSlashesIsIgnored", "thunder:QUFodHRwOg==", UnwrapOutcome::Ignored, ""},
    {"BackslashesAreIgnored", "thunder:\\\\QUFh", UnwrapOutcome::Ignored, ""},

    // A slash but no exact prefix at byte 0.
    {"LoneSlashIsRefused", "/", UnwrapOutcome::NotALink, ""},
    {"HttpIsRefused", "http://example.com/a.zip", UnwrapOutcome::NotALink, ""},
    {"CapitalisedThunder", "Thunder://QUFodHRwOi8vYS9iWlo=", UnwrapOutcome::NotALink, ""},
    {"UpperCaseQqdl", "QQDL://aHR0cDovL2EvYg==", UnwrapOutcome::NotALink, ""},
    {"IndentedBySpace", " thunder://QUFodHRwOi8vYS9iWlo=", UnwrapOutcome::NotALink, ""},
    {"AfterLineBreak", "\r\nthunder://QUFodHRwOi8vYS9iWlo=", UnwrapOutcome::NotALink, ""},
    {"ShorterThanPrefix", "qqdl:/", UnwrapOutcome::NotALink, ""},
    {"SingleSlashScheme", "thunder:/QUFodHRwOi8vYS9iWlo=", UnwrapOutcome::NotALink, ""},
    {"PrefixNotAtStart", "see thunder://QUFodHRwOi8vYS9iWlo=", UnwrapOutcome::NotALink, ""},

    // Each scheme with a real address.
    {"Thunder", "thunder://QUFodHRwOi8vZXhhbXBsZS5jb20vZmlsZS56aXBaWg==", UnwrapOutcome::Decoded,
     "http://example.com/file.zip"},
    {"FlashGet", "flashget://W0ZMQVNIR0VUXWh0dHA6Ly9kbC5leGFtcGxlLmNvbS9hLnJhcltGTEFTSEdFVF0=",
     UnwrapOutcome::Decoded, "http://dl.example.com/a.rar"},
    {"FlashGetTagSuffix",
     "flashget://W0ZMQVNIR0VUXWh0dHA6Ly9kbC5leGFtcGxlLmNvbS9hLnJhcltGTEFTSEdFVF0=&1926",
     UnwrapOutcome::Decoded, "http://dl.example.com/a.rar"},
    {"Qqdl", "qqdl://aHR0cDovL2Rvd24uZXhhbXBsZS5jb20vc2V0dXAuZXhl", UnwrapOutcome::Decoded,
     "http://down.example.com/setup.exe"},
    {"ThunderGbkNameKeptAsBytes", "thunder://QUFodHRwOi8vwP3X0y5jbi+159OwLm1rdlpa",
     UnwrapOutcome::Decoded, "http://\xc0\xfd\xd7\xd3.cn/\xb5\xe7\xd3\xb0.mkv"},
    {"ThunderMarkersAreCutNotCompared", Thunder("\x01\xfehttp://a/b\xff\x7f"),
     UnwrapOutcome::Decoded, "http://a/b"},
    {"FlashGetOtherMarkers", FlashGet("0123456789http://a/b9876543210"), UnwrapOutcome::Decoded,
     "http://a/b"},

    // What follows the payload.
    {"CrLfAndMoreText", Thunder("AAhttp://a/bZZ") + "\r\nthunder://QUFo", UnwrapOutcome::Decoded,
     "http://a/b"},
    {"SpaceBetweenTwoLinks", Thunder(kUnpaddedThunder) + " " + Thunder("AAftp://c/dZZ"),
     UnwrapOutcome::Decoded, "http://a.cn/xz"},
    // The second prefix is removed too, so its payload decodes on into the first.
    {"SameSchemeRunTogether", Thunder(kUnpaddedThunder) + Thunder("AAftp://c/dZZ"),
     UnwrapOutcome::Decoded, "http://a.cn/xzZZAAftp://c/d"},
    {"SameSchemeAfterPaddingStops", Thunder("AAhttp://a/bZZ") + Thunder("AAftp://c/dZZ"),
     UnwrapOutcome::Decoded, "http://a/b"},
    // "flashget" decodes as payload (7e 56 ac 86 07 ad) up to its ":", minus the 2 trimmed.
    {"FlashGetAfterUnpaddedThunder", Thunder(kUnpaddedThunder) + FlashGet("[FLASHGET]x[FLASHGET]"),
     UnwrapOutcome::Decoded, "http://a.cn/xzZZ\x7e\x56\xac\x86"},
    // A prefix that a deletion forms from its two sides stays, and its ":" ends the payload.
    {"PrefixFormedByDeletionStays",
     "thunder://ththunder://under://QUFodHRwOi8vYS9iWlo=", UnwrapOutcome::Decoded, "\xa7"},
    {"QqdlPrefixAnywhereIsRemoved",
     "qqdl://aHR0cDovL2Ev"
     "qqdl://Yg==",
     UnwrapOutcome::Decoded, "http://a/b"},

    // Short and cut texts.
    {"ThunderAlone", "thunder://", UnwrapOutcome::Decoded, ""},
    {"FlashGetAlone", "flashget://", UnwrapOutcome::Decoded, ""},
    {"QqdlAlone", "qqdl://", UnwrapOutcome::Decoded, ""},
    {"ThunderFourBytes", Thunder("AAZZ"), UnwrapOutcome::Decoded, ""},
    {"ThunderThreeBytes", Thunder("AAZ"), UnwrapOutcome::Decoded, ""},
    {"ThunderFiveBytesGiveMiddle", Thunder("AAxZZ"), UnwrapOutcome::Decoded, "x"},
    {"FlashGetTwentyBytes", FlashGet(kFlashMarker + kFlashMarker), UnwrapOutcome::Decoded, ""},
    {"FlashGetTwentyOneBytesGiveEleventh", FlashGet("0123456789Xabcdefghij"),
     UnwrapOutcome::Decoded, "X"},
    {"QqdlOneByte", "qqdl://eA==", UnwrapOutcome::Decoded, "x"},
    {"PayloadStopsAtFirstNonSymbol", "thunder://QUFo!dHRw", UnwrapOutcome::Decoded, ""},
    // The cut comes before trimming, so the end marker is counted back from the zero byte.
    {"ZeroByteCutsBeforeTrim", Thunder(BYTES("AAabc\0xyzZZ")), UnwrapOutcome::Decoded, "a"},
    {"ZeroByteInQqdl", "qqdl://" + EncodeBase64(BYTES("http://a/\0b")), UnwrapOutcome::Decoded,
     "http://a/"},
    {"LeadingZeroByte", Thunder(BYTES("\0Ahttp://a/bZZ")), UnwrapOutcome::Decoded, ""},
};

// Keeps test names readable in ctest's list instead of a dump of the object's bytes.
void PrintTo(const UnwrapCase& c, std::ostream* os) {
    *os << c.name;
}

class UnwrapDownloadLinkTest : public ::testing::TestWithParam<UnwrapCase> {};

TEST_P(UnwrapDownloadLinkTest, GivesOutcomeAndAddress) {
    const UnwrapCase& c = GetParam();
    const UnwrapResult result = UnwrapDownloadLink(c.pasted);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.text, c.address);
}

INSTANTIATE_TEST_SUITE_P(Cases, UnwrapDownloadLinkTest, ::testing::ValuesIn(kUnwrapCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RemovalCase {
    const char* name;
    std::string text;
    std::string prefix;
    std::string expected;
};

const RemovalCase kRemovalCases[] = {
    {"Every occurrence", "qqdl://aqqdl://bqqdl://", "qqdl://", "ab"},
    {"Formed by deletion stays", "ththunder://under://x", "thunder://", "thunder://x"},
    {"Non-overlapping left to right", "aaaa", "aa", ""},
    {"Odd run leaves one", "aaa", "aa", "a"},
    // 0xB0 is a lead byte: the "t" after it is its trail byte, so no occurrence starts there.
    {"Hidden behind lead byte", "\xb0thunder://x", "thunder://", "\xb0thunder://x"},
    {"After whole character", "\xb0\xa1thunder://x", "thunder://", "\xb0\xa1x"},
    {"After single-byte 0x80", "\x80thunder://x", "thunder://", "\x80x"},
    {"After single-byte 0xFF", "\xffthunder://x", "thunder://", "\xffx"},
    {"Lead byte at the end", "x\xb0", "thunder://", "x\xb0"},
};

TEST(RemovePrefixOccurrences, StepsOverDoubleByteCharacters) {
    for (const RemovalCase& c : kRemovalCases) {
        EXPECT_EQ(RemovePrefixOccurrences(c.text, c.prefix), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace linkdecode
