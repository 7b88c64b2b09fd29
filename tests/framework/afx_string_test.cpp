#include "framework/afx_string.h"

#include <gtest/gtest.h>

#include <string>

#include "test_resource.h"

namespace {

std::string Bytes(const CString& s) {
    return std::string(s, s.GetLength());
}

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

struct LoadCase {
    const char* name;
    UINT id;
    BOOL found;
    std::string expected;  // code page 936 bytes
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadStringTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadStringTest, GivesTheWholeStringInTheAnsiCodePageOrNothing) {
    const LoadCase& c = GetParam();
    CString s("previous content");
    EXPECT_EQ(s.LoadString(c.id), c.found);
    EXPECT_EQ(Bytes(s), c.expected);
    EXPECT_EQ(s.GetLength(), static_cast<int>(c.expected.size()));
    EXPECT_EQ(s.IsEmpty(), c.expected.empty() ? TRUE : FALSE);
}

INSTANTIATE_TEST_SUITE_P(
    Resources, LoadStringTest,
    ::testing::Values(LoadCase{"Plain", IDS_PLAIN, TRUE, "plain text"},
                      // Three double-byte characters count six bytes.
                      LoadCase{"Chinese", IDS_CHINESE, TRUE, "\xB9\xD8\xD3\xDA\xCE\xD2(&A)..."},
                      LoadCase{"OtherBlock", IDS_OTHER_BLOCK, TRUE, "other block"},
                      LoadCase{"Missing", IDS_MISSING, FALSE, ""},
                      LoadCase{"MissingBlock", 5000, FALSE, ""},
                      LoadCase{"Empty", IDS_EMPTY, FALSE, ""},
                      LoadCase{"Long253", IDS_LONG_253, TRUE, std::string(253, 'x')},
                      LoadCase{"Long254", IDS_LONG_254, TRUE, std::string(254, 'x')},
                      LoadCase{"Long255", IDS_LONG_255, TRUE, std::string(255, 'x')},
                      LoadCase{"Long256", IDS_LONG_256, TRUE, std::string(256, 'x')},
                      LoadCase{"Long257", IDS_LONG_257, TRUE, std::string(257, 'x')},
                      LoadCase{"Long1000", IDS_LONG_1000, TRUE, std::string(1000, 'x')},
                      // 400 bytes: no character is cut where a smaller buffer would end.
                      LoadCase{"ChineseLong", IDS_CHINESE_LONG, TRUE, Repeat("\xBA\xBA", 200)}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

TEST(CStringTest, CopiesAreIndependent) {
    CString original(
        "\xBA\xBA"
        "abc");
    CString copy = original;
    CString assigned;
    assigned = original;
    original.Empty();
    EXPECT_EQ(Bytes(copy),
              "\xBA\xBA"
              "abc");
    EXPECT_EQ(Bytes(assigned),
              "\xBA\xBA"
              "abc");
    EXPECT_TRUE(original.IsEmpty());
    EXPECT_EQ(copy.GetLength(), 5);
}

struct ConstructCase {
    const char* name;
    CString value;
    std::string expected;
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const ConstructCase& c, std::ostream* os) {
    *os << c.name;
}

class CStringConstructTest : public ::testing::TestWithParam<ConstructCase> {};

TEST_P(CStringConstructTest, KeepsExactlyTheGivenBytes) {
    const ConstructCase& c = GetParam();
    EXPECT_EQ(Bytes(c.value), c.expected);
    EXPECT_EQ(c.value.GetLength(), static_cast<int>(c.expected.size()));
    // The bytes are always followed by a zero byte.
    EXPECT_EQ(static_cast<LPCSTR>(c.value)[c.value.GetLength()], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Values, CStringConstructTest,
    ::testing::Values(ConstructCase{"Default", CString(), ""},
                      ConstructCase{"Null", CString(nullptr), ""},
                      ConstructCase{"Terminated", CString("ab\xBA\xBA"), "ab\xBA\xBA"},
                      ConstructCase{"CountedWithZero", CString("a\0b", 3), std::string("a\0b", 3)},
                      ConstructCase{"CountedPrefix", CString("abcdef", 2), "ab"},
                      ConstructCase{"NegativeCount", CString("abc", -1), ""}),
    [](const ::testing::TestParamInfo<ConstructCase>& info) {
        return std::string(info.param.name);
    });

struct BufferCase {
    const char* name;
    const char* initial;
    int minLength;
    const char* written;  // copied over the buffer's start, with its zero byte
    int releaseLength;
    std::string expected;
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const BufferCase& c, std::ostream* os) {
    *os << c.name;
}

class CStringBufferTest : public ::testing::TestWithParam<BufferCase> {};

TEST_P(CStringBufferTest, ReleaseKeepsWhatWasWritten) {
    const BufferCase& c = GetParam();
    CString s(c.initial);
    LPSTR buffer = s.GetBuffer(c.minLength);
    std::char_traits<char>::copy(buffer, c.written, std::char_traits<char>::length(c.written) + 1);
    s.ReleaseBuffer(c.releaseLength);
    EXPECT_EQ(Bytes(s), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, CStringBufferTest,
    ::testing::Values(BufferCase{"GrowAndStopAtZero", "", 10, "hello", -1, "hello"},
                      BufferCase{"ExplicitLength", "", 10, "hello", 3, "hel"},
                      BufferCase{"KeepsOldContentBeyond", "abcdef", 2, "xy", 6,
                                 std::string("xy\0def", 6)},
                      BufferCase{"ShrinkToZeroByte", "abcdef", 0, "x", -1, "x"}),
    [](const ::testing::TestParamInfo<BufferCase>& info) { return std::string(info.param.name); });

}  // namespace
