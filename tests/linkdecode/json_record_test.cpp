#include "linkdecode/json_record.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/gb_converter.h"

namespace linkdecode {
namespace {

TEST(AppendJsonRecord, WritesEveryFieldInItsOrder) {
    const struct {
        std::string input;
        std::uint64_t line;
        ReadMode mode;
        AddressFormat format;
        std::string record;
    } cases[] = {
        {"thunder://QUFodHRwOi8vYS9iWlo=",
         3,
         ReadMode::Strict,
         {},
         R"({"input":"thunder://QUFodHRwOi8vYS9iWlo=","line":3,"scheme":"thunder",)"
         R"("outcome":"Decoded","address":"http://a/b","charset":"utf8",)"
         R"("bytes":"aHR0cDovL2EvYg==","repairs":[],"detail":null})"},
        {"Thunder%3A%2F%2FQUFodHRwOi8vYS9iWlo%3D",
         0,
         ReadMode::Repair,
         {},
         R"({"input":"Thunder%3A%2F%2FQUFodHRwOi8vYS9iWlo%3D","line":null,"scheme":"thunder",)"
         R"("outcome":"Decoded","address":"http://a/b","charset":"utf8",)"
         R"("bytes":"aHR0cDovL2EvYg==","repairs":["scheme-case","percent-escapes"],"detail":null})"},
        {"qqdl://aHR0cDovL2Evtec=",
         1,
         ReadMode::Strict,
         {},
         R"({"input":"qqdl://aHR0cDovL2Evtec=","line":1,"scheme":"qqdl","outcome":"Decoded",)"
         R"("address":"http://a/电","charset":"gbk","bytes":"aHR0cDovL2Evtec=","repairs":[],"detail":null})"},
        {"qqdl://aHR0cDovL2EvInEiIAE=",
         0,
         ReadMode::Strict,
         {Charset::Auto, true},
         R"({"input":"qqdl://aHR0cDovL2EvInEiIAE=","line":null,"scheme":"qqdl",)"
         R"("outcome":"Decoded","address":"http://a/\"q\"%20%01","charset":"utf8",)"
         R"("bytes":"aHR0cDovL2EvInEiIAE=","repairs":[],"detail":null})"},
        {"http://x/\"y\"",
         0,
         ReadMode::Strict,
         {},
         R"({"input":"http://x/\"y\"","line":null,"scheme":null,"outcome":"NotALink",)"
         R"("address":null,"charset":null,"bytes":null,"repairs":[],"detail":null})"},
        {"\xB5\xE7",
         0,
         ReadMode::Repair,
         {},
         R"({"input":"电","line":null,"scheme":null,"outcome":"Ignored",)"
         R"("address":null,"charset":null,"bytes":null,"repairs":[],"detail":null})"},
        {"qqdl://tec=",
         0,
         ReadMode::Repair,
         {},
         R"({"input":"qqdl://tec=","line":null,"scheme":"qqdl","outcome":"NotAnAddress",)"
         R"("address":null,"charset":null,"bytes":null,"repairs":[],"detail":"电"})"},
        {"qqdl://aHR0cDovL2EvAQ\xE2\x80\xA6",
         2,
         ReadMode::Repair,
         {},
         R"({"input":"qqdl://aHR0cDovL2EvAQ…","line":2,"scheme":"qqdl","outcome":"CutShort",)"
         R"("address":null,"charset":null,"bytes":null,"repairs":[],"detail":"http://a/\u0001"})"},
    };
    for (const auto& c : cases) {
        const LinkReading reading = ReadLink(c.input, {c.mode, c.format.charset});
        std::string out;
        AppendJsonRecord(c.input, c.line, reading, c.format, veltrun::PlatformGbConverter(), out);
        EXPECT_EQ(out, c.record + "\n") << c.input;
    }
}

}  // namespace
}  // namespace linkdecode
