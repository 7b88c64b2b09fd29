// Veltrun.exe started with one argument, as the shell starts it for a clicked link: the text is
// decoded as a paste of it would be, and what a paste could not hold whole is refused.
#include <gtest/gtest.h>

#include <string>

#include "links.h"
#include "resource.h"
#include "veltrun_session.h"
#include "window_query.h"

namespace e2e {
namespace {

const std::string kAddress = "http://dl.example.cn/软件/安装包 v2.exe";

struct OpenCase {
    const char* name;
    std::string commandTail;  // what follows the program's name on its command line
    std::string input;        // what the input box then holds
    std::string output;       // and the output box
    bool copyEnabled;
    bool warns;
};

void PrintTo(const OpenCase& c, std::ostream* out) {
    *out << c.name;
}

const OpenCase kOpenCases[] = {
    {"Link", '"' + ThunderLink(kAddress) + '"', ThunderLink(kAddress), kAddress, true, false},
    {"UnquotedLink", QqdlLink("ftp://f.example.org/a.iso"), QqdlLink("ftp://f.example.org/a.iso"),
     "ftp://f.example.org/a.iso", true, false},
    {"TextWithSlashWarns", "\"http://example.com/这不是链接\"", "", "", false, true},
    {"TextWithoutSlashIsOnlyShown", "\"没有斜杠 thunder:QUFh\"", "没有斜杠 thunder:QUFh", "", false,
     false},
    {"ControlCharacterIsRefused", '"' + ThunderLink(kAddress) + "\x01\"", "", "", false, true},
    {"TabIsRefused", "\"thunder://QUFo\tdHRw\"", "", "", false, true},
    // Two arguments are no clicked link: the dialog opens as it does without any.
    {"TwoArgumentsAreLeftAlone", ThunderLink(kAddress) + ' ' + ThunderLink(kAddress), "", "", false,
     false},
};

class OpensWithArgument : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpensWithArgument, DecodesAsAPasteWould) {
    const OpenCase& c = GetParam();
    VeltrunSession app(c.commandTail);
    ASSERT_NE(app.Dialog(), nullptr);
    if (c.warns) {
        ASSERT_TRUE(app.WaitForMessageBoxes(1));
        const MessageBoxView view = VeltrunSession::Describe(app.MessageBoxes().front());
        EXPECT_EQ(view.text, kWarningText);
        EXPECT_EQ(view.caption, kWarningCaption);
    } else {
        ASSERT_TRUE(app.WaitIdle());
        EXPECT_TRUE(app.MessageBoxes().empty());
    }
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), c.input);
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), c.output);
    EXPECT_EQ(app.IsEnabled(IDC_COPY_DECODED), c.copyEnabled);
}

INSTANTIATE_TEST_SUITE_P(EachArgument, OpensWithArgument, ::testing::ValuesIn(kOpenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OpensWithArgument, LinkLongerThanTheInputBoxHoldsIsRefusedNotCut) {
    size_t limit = 0;
    {
        VeltrunSession probe;
        ASSERT_NE(probe.Dialog(), nullptr);
        limit = TextLimit(probe.Item(IDC_LINK_INPUT));
    }
    // A command line holds at most 32767 characters.
    if (limit == 0 || limit + 100 > 32767) {
        GTEST_SKIP() << "the input box holds " << limit << " characters, more than a command line";
    }
    std::string address = "http://long.example.com/";
    address.append(limit * 3 / 4, 'q');
    const std::string link = ThunderLink(address);
    ASSERT_GT(link.size(), limit);
    VeltrunSession app(link);
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(app.WaitForMessageBoxes(1));
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), "");
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
    EXPECT_TRUE(app.IsResponsive());
}

}  // namespace
}  // namespace e2e
