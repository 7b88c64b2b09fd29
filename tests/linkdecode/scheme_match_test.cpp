#include "linkdecode/scheme_match.h"

#include <gtest/gtest.h>

#include <string>

#include "linkdecode/repairs.h"

namespace linkdecode {
namespace {

TEST(SeparatorLength, ReadsTheFormsPagesWrite) {
    const struct {
        const char* text;
        std::size_t length;
        unsigned repairs;
    } cases[] = {
        {"://", 3, 0},
        {"%3A//", 5, kRepairPercentEscapes},
        {"%3a%2F%2f", 9, kRepairPercentEscapes},
        {"%253A%252F%252F", 15, kRepairPercentEscapes},
        {":\\/\\/", 5, kRepairJsonEscapes},
        {":/", 0, 0},
        {"%3A/", 0, 0},
        {"&#58;//", 0, 0},
        {"%3", 0, 0},
    };
    for (const auto& c : cases) {
        unsigned repairs = 0;
        EXPECT_EQ(SeparatorLength(c.text, 0, ReadMode::Repair, repairs), c.length) << c.text;
        EXPECT_EQ(repairs, c.repairs) << c.text;
    }
}
TEST(MatchSchemeAt, ReadsTheSameStartsInTheFinderAndInRepair) {
    const struct {
        std::string text;
        ReadMode mode;
        std::string scheme;  // empty for none
        std::size_t length;
        unsigned repairs;
    } cases[] = {
        {"thunder://QUFh", ReadMode::Strict, "thunder", 10, 0},
        {"qqdl://", ReadMode::Strict, "qqdl", 7, 0},
        {"Thunder://QUFh", ReadMode::Strict, "", 0, 0},
        {"thunder%3A%2F%2F", ReadMode::Strict, "", 0, 0},
        {"Thunder://QUFh", ReadMode::Repair, "thunder", 10, kRepairSchemeCase},
        {"FLASHGET%253A%252F%252F", ReadMode::Repair, "flashget", 23,
         kRepairSchemeCase | kRepairPercentEscapes},
        {"qqdl:\\/\\/eA==", ReadMode::Repair, "qqdl", 9, kRepairJsonEscapes},
        {"qqdl:/", ReadMode::Repair, "", 0, 0},
        {"qqd", ReadMode::Repair, "", 0, 0},
        {"xqqdl://", ReadMode::Repair, "", 0, 0},
    };
    for (const auto& c : cases) {
        const SchemeStart start = MatchSchemeAt(c.text, 0, c.mode);
        EXPECT_EQ(start.scheme != nullptr ? std::string(start.scheme->name) : "", c.scheme)
            << c.text;
        EXPECT_EQ(start.length, c.length) << c.text;
        EXPECT_EQ(start.repairs, c.repairs) << c.text;
    }
}

}  // namespace
}  // namespace linkdecode
