#include "linkdecode/page_escapes.h"

#include <gtest/gtest.h>

#include <string>

#include "linkdecode/repairs.h"

namespace linkdecode {
namespace {

TEST(DecodeEntities, ReadsEachEntityOneWay) {
    const struct {
        std::string text;
        std::string decoded;
    } cases[] = {
        {"a&amp;b&lt;&gt;&quot;&apos;", "a&b<>\"'"},
        {"&#61;&#x2B;&#X2f;", "=+/"},
        {"&dn=x&#x000026;tr=y&#0000000061;", "&dn=x&tr=y="},  // leading zeros, as HTML allows
        {"&#x80;&#128;&#0;&#x;&#;&#61&amp", "&#x80;&#128;&#0;&#x;&#;&#61&amp"},
        {"&#99999999999999999999;&#xFFFFFFFFFFFFFFFF3D;",
         "&#99999999999999999999;"
         "&#xFFFFFFFFFFFFFFFF3D;"},
        {"&AMP;&nbsp;", "&AMP;&nbsp;"},
        {"no entity", "no entity"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(DecodeEntities(text), c.text != c.decoded) << c.text;
        EXPECT_EQ(text, c.decoded) << c.text;
    }
}

TEST(UnescapeAt, ReadsOneCharacterAsAPageEscapedIt) {
    const struct {
        std::string text;
        char c;
        std::size_t width;
        unsigned repair;
    } cases[] = {
        {"%2B", '+', 3, kRepairPercentEscapes},
        {"%252f", '/', 5, kRepairPercentEscapes},
        {"%25", '%', 3, kRepairPercentEscapes},
        {"%E4", '%', 1, 0},  // a byte beyond ASCII belongs to text around a link
        {"%00", '%', 1, 0},
        {"%3", '%', 1, 0},
        {"&#x00002B;", '+', 10, kRepairHtmlEntities},
        {"\\/", '/', 2, kRepairJsonEscapes},
        {"\\n", '\\', 1, 0},
        {"a", 'a', 1, 0},
    };
    for (const auto& c : cases) {
        const Unescaped u = UnescapeAt(c.text, 0);
        EXPECT_EQ(u.c, c.c) << c.text;
        EXPECT_EQ(u.width, c.width) << c.text;
        EXPECT_EQ(u.repair, c.repair) << c.text;
    }
}

}  // namespace
}  // namespace linkdecode
