#include "linkdecode/link_repair.h"

#include <gtest/gtest.h>

#include <string>

namespace linkdecode {
namespace {

struct RepairCase {
    const char* name;
    std::string link;
    std::string repaired;
    unsigned repairs;
};

const RepairCase kRepairCases[] = {
    {"SoundLinkUntouched", "thunder://QUFodHRwOi8vYS9iWlo=", "thunder://QUFodHRwOi8vYS9iWlo=", 0},
    {"SoundSuffixUntouched", "flashget://W0ZM==&1926", "flashget://W0ZM==&1926", 0},
    {"NoSchemeUntouched", "http://a/b-c_d%3D", "http://a/b-c_d%3D", 0},
    {"CapitalThunder", "Thunder://QUFh", "thunder://QUFh", kRepairSchemeCase},
    {"UpperQqdl", "QQDL://aHR0cDovL2EvYg==", "qqdl://aHR0cDovL2EvYg==", kRepairSchemeCase},
    {"MixedFlashGet", "FlashGet://W0ZM", "flashget://W0ZM", kRepairSchemeCase},
    {"SingleSlashIsNoScheme", "THUNDER:/QUFh", "THUNDER:/QUFh", 0},
    {"UrlSafe", "qqdl://a-b_c", "qqdl://a+b/c", kRepairUrlSafeBase64},
    {"UrlSafeOnlyInPayload", "qqdl://ab==&name=my_file-1", "qqdl://ab==&name=my_file-1", 0},
    {"PercentPadding", "qqdl://eA%3D%3D", "qqdl://eA==", kRepairPercentEscapes},
    {"PercentLowerHex", "qqdl://eA%3d%3d", "qqdl://eA==", kRepairPercentEscapes},
    {"PercentSymbols", "qqdl://a%2Bb%2fc", "qqdl://a+b/c", kRepairPercentEscapes},
    {"OtherPercentStays", "qqdl://ab%20cd", "qqdl://ab%20cd", 0},
    {"PercentCutShort", "qqdl://ab%3", "qqdl://ab%3", 0},
    {"PaddingEndsPayload", "qqdl://eA==%2B-", "qqdl://eA==%2B-", 0},
    {"NamedEntity", "flashget://W0ZM==&amp;1926", "flashget://W0ZM==&1926", kRepairHtmlEntities},
    {"NumericEntities", "qqdl://a&#43;b&#x2F;c&#61;", "qqdl://a+b/c=", kRepairHtmlEntities},
    {"EntityWithoutSemicolon", "qqdl://a&#43b", "qqdl://a&#43b", 0},
    {"NonAsciiEntityStays", "qqdl://a&#26469;", "qqdl://a&#26469;", 0},
    {"ZeroEntityStays", "qqdl://a&#0;", "qqdl://a&#0;", 0},
    {"LongDigitsStay", "qqdl://a&#0000043;", "qqdl://a&#0000043;", 0},
    {"UnknownEntityStays", "qqdl://a&nbsp;", "qqdl://a&nbsp;", 0},
    {"EverythingAtOnce", "THUNDER://QUFo_-%3D&amp;x", "thunder://QUFo/+=&x",
     kRepairSchemeCase | kRepairUrlSafeBase64 | kRepairPercentEscapes | kRepairHtmlEntities},
    {"EmptyText", "", "", 0},
};

TEST(RepairLink, UndoesDamageAndReportsIt) {
    for (const RepairCase& c : kRepairCases) {
        const RepairedLink result = RepairLink(c.link);
        EXPECT_EQ(result.text, c.repaired) << c.name;
        EXPECT_EQ(result.repairs, c.repairs) << c.name;
    }
}

TEST(RepairLink, RepairedTextNeedsNoFurtherRepair) {
    for (const RepairCase& c : kRepairCases) {
        const RepairedLink once = RepairLink(c.link);
        if ((once.repairs & kRepairHtmlEntities) != 0)
            continue;  // decoding "&amp;" may reveal another entity, as in the source
        EXPECT_EQ(RepairLink(once.text).repairs, 0u) << c.name;
    }
}

}  // namespace
}  // namespace linkdecode
