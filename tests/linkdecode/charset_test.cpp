#include "linkdecode/charset.h"

#include <gtest/gtest.h>

#include <string>

#include "linkdecode/platform_gb_converter.h"

namespace linkdecode {
namespace {

// Text as it is, each invalid byte as <XX>.
class RecordingSink : public TextSink {
public:
    void Text(std::string_view utf8) override { out.append(utf8); }
    void Invalid(unsigned char byte) override {
        const char hex[] = "0123456789ABCDEF";
        out += {'<', hex[byte >> 4], hex[byte & 0x0F], '>'};
    }
    std::string out;
};

TEST(ReadText, ReadsEachCharsetAndKeepsEveryByte) {
    const struct {
        std::string bytes;
        Charset asked;
        Charset used;
        std::string text;
    } cases[] = {
        {"http://a/", Charset::Auto, Charset::Utf8, "http://a/"},
        {"\xE7\x94\xB5", Charset::Auto, Charset::Utf8, "电"},
        {"\xB5\xE7", Charset::Auto, Charset::Gbk, "电"},
        {"\xC3\xA9", Charset::Auto, Charset::Utf8, "é"},
        {"\xC3\xA9", Charset::Gbk, Charset::Gbk, "茅"},
        {"\xB5\xE7\xFF.", Charset::Gbk, Charset::Gbk, "电<FF>."},
        {"a\xE7\x94", Charset::Utf8, Charset::Utf8, "a<E7><94>"},  // cut character
        {"\xC0\xAF\xED\xA0\x80", Charset::Utf8, Charset::Utf8,     // overlong, surrogate
         "<C0><AF><ED><A0><80>"},
        {"a\xB5\xE7", Charset::Raw, Charset::Raw, "a<B5><E7>"},
        {"", Charset::Auto, Charset::Utf8, ""},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        EXPECT_EQ(ReadText(c.bytes, c.asked, PlatformGbConverter(), sink), c.used) << c.bytes;
        EXPECT_EQ(sink.out, c.text) << c.bytes;
    }
}

TEST(IsChineseOnlyAsGbk, TellsGbkNamesThatAreAlsoUtf8) {
    const struct {
        std::string bytes;
        bool chineseOnlyAsGbk;
    } cases[] = {
        {"\xC3\xA9", true},               // 茅 in GBK, é in UTF-8
        {"caf\xC3\xA9", true},            // a real é reads the same: the repair's known cost
        {"\xE7\x94\xB5", false},          // UTF-8 Chinese
        {"\xC3\xA9\xE7\x94\xB5", false},  // Chinese in UTF-8 decides
        {"http://a/", false},             // nothing beyond ASCII
        {"\xB5\xE7", false},              // not UTF-8 at all
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsChineseOnlyAsGbk(c.bytes), c.chineseOnlyAsGbk) << c.bytes;
}

TEST(CharsetFromName, ReadsBackEveryName) {
    for (const Charset charset : {Charset::Auto, Charset::Gbk, Charset::Utf8, Charset::Raw}) {
        Charset read = Charset::Raw == charset ? Charset::Auto : Charset::Raw;
        EXPECT_TRUE(CharsetFromName(CharsetName(charset), read));
        EXPECT_EQ(read, charset);
    }
    for (const char* name : {"", "GBK", "utf-8", "gb18030", "auto "}) {
        Charset read = Charset::Gbk;
        EXPECT_FALSE(CharsetFromName(name, read)) << name;
        EXPECT_EQ(read, Charset::Gbk) << name;
    }
}

}  // namespace
}  // namespace linkdecode
