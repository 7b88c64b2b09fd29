#include "linkdecode/cut_marks.h"

#include <gtest/gtest.h>

#include <string>

namespace linkdecode {
namespace {

TEST(CutMarkLength, MeasuresTheMarksOfAnExcerpt) {
    const struct {
        std::string text;
        std::size_t length;
    } cases[] = {
        {"\xe2\x80\xa6", 3},
        {"\xe2\x80\xa6\xe2\x80\xa6 more", 3},
        {"\xa1\xad", 2},
        {"....", 3},
        {"\xef\xbc\x88\xe7\x9c\x81\xe7\x95\xa5\xef\xbc\x89", 12},
        {"(\xca\xa1\xc2\xd4)", 6},
        {"&hellip;", 8},
        {"", 0},
        {"..", 0},
        {".", 0},
        {"\xe3\x80\x82", 0},                                      // a sentence's full stop
        {"\xef\xbc\x88\xe8\xbf\x85\xe9\x9b\xb7\xef\xbc\x89", 0},  // （迅雷）
        {"\xe2\x80\xa5", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CutMarkLength(c.text), c.length) << c.text;
}

}  // namespace
}  // namespace linkdecode
