#include "linkdecode/text_render.h"

#include <gtest/gtest.h>

#include <string>

#include "linkdecode/platform_gb_converter.h"

namespace linkdecode {
namespace {

std::string Repeat(std::string_view part, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text.append(part);
    return text;
}

TEST(RenderAddress, EscapesWhatCouldDriveATerminalOrHideTheName) {
    const struct {
        std::string bytes;
        AddressFormat format;
        Charset used;
        std::string shown;
    } cases[] = {
        {"http://a/\xB5\xE7", {}, Charset::Gbk, "http://a/电"},
        {"http://a/\x1B]0;x\x07", {}, Charset::Utf8, "http://a/\\x1B]0;x\\x07"},
        {"http://a/\xE2\x80\xAEgpj.exe", {}, Charset::Utf8, "http://a/\\xE2\\x80\\xAEgpj.exe"},
        {"http://a/\xC2\x9B", {}, Charset::Utf8, "http://a/\\xC2\\x9B"},  // a C1 control
        {"http://a/\xFF\\b", {Charset::Utf8, false}, Charset::Utf8, "http://a/\\xFF\\b"},
        {"http://a/\xB5\xE7\x7F", {Charset::Raw, false}, Charset::Raw, "http://a/\xB5\xE7\\x7F"},
        {"http://a/b c%41\xB5\xE7",
         {Charset::Auto, true},
         Charset::Gbk,
         "http://a/b%20c%41%E7%94%B5"},
        {"http://a/\xB5\xE7", {Charset::Raw, true}, Charset::Raw, "http://a/%B5%E7"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        EXPECT_EQ(RenderAddress(c.bytes, c.format, PlatformGbConverter(), out), c.used) << c.bytes;
        EXPECT_EQ(out, "x" + c.shown) << c.bytes;
    }
}

TEST(RenderJsonString, IsValidJsonForAnyBytes) {
    const struct {
        std::string bytes;
        Charset charset;
        std::string json;
    } cases[] = {
        {"a\"b\\c\n\t\x01", Charset::Auto, R"("a\"b\\c\n\t\u0001")"},
        {"\xE2\x80\xAE\xC2\x85", Charset::Auto, R"("\u202E\u0085")"},
        {"\xB5\xE7\xFF", Charset::Gbk, "\"电\\\\xFF\""},
        {"\xB5\xE7", Charset::Raw, R"("\\xB5\\xE7")"},
        // Plain ASCII is copied whole; a control or a quote after a long plain start is not.
        {"http://example.com/a/b/c.exe", Charset::Auto, R"("http://example.com/a/b/c.exe")"},
        {"http://example.com/a/b/c.exe\x7F", Charset::Utf8,
         R"("http://example.com/a/b/c.exe\u007F")"},
        {"http://example.com/a/b/c.exe\"", Charset::Auto, R"("http://example.com/a/b/c.exe\"")"},
        // Raw: ASCII escaped as JSON, every other byte (no C1 or direction mark read) as \\xNN,
        // and a run longer than the hex writer's block.
        {"a\"\\\n\x01\xC2\x85 \xE2\x80\xAEz" + Repeat("\xFF", 70) + "/", Charset::Raw,
         R"("a\"\\\n\u0001\\xC2\\x85 \\xE2\\x80\\xAEz)" + Repeat(R"(\\xFF)", 70) + "/\""},
    };
    for (const auto& c : cases) {
        std::string out;
        RenderJsonString(c.bytes, c.charset, PlatformGbConverter(), out);
        EXPECT_EQ(out, c.json) << c.bytes;
    }
}

TEST(RenderExcerpt, CutsAtACharacterAndNeverReadsUtf8AsGbk) {
    const std::string dian = "\xE7\x94\xB5";  // 电 in UTF-8
    const std::string dianGbk = "\xB5\xE7";
    const struct {
        std::string input;
        std::size_t maxBytes;
        std::string excerpt;
    } cases[] = {
        {"thunder://QUFh", 72, "thunder://QUFh"},
        {"a\x1B"
         "b",
         72, "a\\x1Bb"},
        {Repeat("x", 73), 72, Repeat("x", 72) + "..."},
        {Repeat("x", 72), 72, Repeat("x", 72)},
        // The input's start, cut inside a character, is still read as the UTF-8 it is.
        {"a" + Repeat(dian, 200) + "/x", 72, "a" + Repeat(dian, 23) + "..."},
        {"a" + Repeat(dian, 200) + "/x", 80, "a" + Repeat(dian, 26) + "..."},
        {Repeat(dian, 200), 3, dian + "..."},
        {Repeat(dianGbk, 200) + "/x", 72, Repeat(dian, 24) + "..."},
        {"\xC2\x9B" + Repeat("x", 100), 4, "\\xC2..."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RenderExcerpt(c.input, c.maxBytes, "...", PlatformGbConverter()), c.excerpt)
            << c.input.substr(0, 20) << " " << c.maxBytes;
    }
}

}  // namespace
}  // namespace linkdecode
