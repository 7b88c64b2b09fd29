// Paste-and-decode and Copy driven through the clipboard and the buttons, as a user does.
#include <gtest/gtest.h>

#include <string>

#include "clipboard.h"
#include "input.h"
#include "links.h"
#include "probe_client.h"
#include "resource.h"
#include "veltrun_session.h"
#include "wait.h"
#include "window_query.h"

namespace e2e {
namespace {

const std::string kAddress = "http://dl.example.com/tools/setup-2.4.1.exe";

// Puts `text` on the clipboard and clicks paste-and-decode.
::testing::AssertionResult PasteAndDecode(const VeltrunSession& app, const std::string& text) {
    if (!PutClipboardText(text)) {
        return ::testing::AssertionFailure() << "could not set the clipboard";
    }
    if (!app.ClickAndWait(IDC_PASTE_DECODE)) {
        return ::testing::AssertionFailure() << "the click was not handled";
    }
    return ::testing::AssertionSuccess();
}

// Clicks Copy and returns the clipboard's text once it changed, or nothing if it did not.
std::optional<std::string> CopyAndRead(const VeltrunSession& app) {
    const DWORD before = ClipboardSequence();
    if (!app.ClickAndWait(IDC_COPY_DECODED)) {
        return std::nullopt;
    }
    if (!WaitUntil([&] { return ClipboardSequence() != before; })) {
        return std::nullopt;
    }
    return ClipboardText();
}

// True if a click on Copy leaves the clipboard alone.
bool CopyChangesNothing(const VeltrunSession& app) {
    const DWORD before = ClipboardSequence();
    return app.ClickAndWait(IDC_COPY_DECODED) && ClipboardSequence() == before;
}

void ExpectWarningBox(const VeltrunSession& app, HWND box) {
    const MessageBoxView view = VeltrunSession::Describe(box);
    EXPECT_EQ(view.caption, kWarningCaption);
    EXPECT_EQ(view.text, kWarningText);
    EXPECT_EQ(view.owner, nullptr);
    EXPECT_EQ(view.buttonIds, std::vector<WORD>{IDOK});
    ASSERT_NE(view.icon, nullptr) << "no icon";
    EXPECT_EQ(AskProbe(app.Process(), probe::Question::StaticIcon, view.icon), "exclamation");
}

struct DecodeCase {
    const char* name;
    std::string pasted;
    std::string address;
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodesLink : public ::testing::TestWithParam<DecodeCase> {};

// Chinese names in code page 936: the decoded bytes must reach the box unchanged.
const std::string kChineseThunder = "http://dl.example.cn/软件/迅雷安装包 v7.exe";
const std::string kChineseFlashGet = "http://down.example.cn/电影/快车 高清版.rmvb";
const std::string kChineseQqdl = "ftp://d.example.cn/音乐/旋风歌曲合集.zip";

const DecodeCase kDecodeCases[] = {
    {"Thunder", ThunderLink(kAddress), kAddress},
    {"FlashGet", FlashGetLink("ftp://ftp.example.org/pub/linux-6.1.iso"),
     "ftp://ftp.example.org/pub/linux-6.1.iso"},
    {"Qqdl", QqdlLink("https://down.example.net/a/b/c.zip?x=1&y=2"),
     "https://down.example.net/a/b/c.zip?x=1&y=2"},
    {"ThunderChineseName", ThunderLink(kChineseThunder), kChineseThunder},
    {"FlashGetChineseName", FlashGetLink(kChineseFlashGet), kChineseFlashGet},
    {"QqdlChineseName", QqdlLink(kChineseQqdl), kChineseQqdl},
    {"FlashGetWithTagSuffix", FlashGetLink(kAddress) + "&18", kAddress},
    {"PayloadThenCrLfAndMoreText", ThunderLink(kAddress) + "\r\n第二行 " + QqdlLink("http://x/y"),
     kAddress},
};

TEST_P(DecodesLink, ShowsTheAddressEnablesCopyAndCopyPutsItOnTheClipboard) {
    const DecodeCase& c = GetParam();
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);

    ASSERT_TRUE(PasteAndDecode(app, c.pasted));
    EXPECT_TRUE(app.MessageBoxes().empty());
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), c.pasted);
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), c.address);
    EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));

    EXPECT_EQ(CopyAndRead(app), c.address);
    // Copy leaves the focus on the output box with its whole text selected.
    EXPECT_EQ(app.Focus(), app.Item(IDC_DECODED_OUTPUT));
    DWORD start = 1, end = 0;
    ::SendMessageA(app.Item(IDC_DECODED_OUTPUT), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    // Positions count the box's characters, not the bytes of code page 936.
    EXPECT_EQ(end, static_cast<DWORD>(
                       ::SendMessageW(app.Item(IDC_DECODED_OUTPUT), WM_GETTEXTLENGTH, 0, 0)));
    EXPECT_GT(end, 0u);
}

INSTANTIATE_TEST_SUITE_P(EachScheme, DecodesLink, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PasteDecode, TextWithoutSlashIsPastedAndNothingElseChanges) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PasteAndDecode(app, ThunderLink(kAddress)));
    ASSERT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);

    ASSERT_TRUE(PasteAndDecode(app, "没有斜杠的文字 thunder:QUFh"));
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), "没有斜杠的文字 thunder:QUFh");
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
    EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
    EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST(PasteDecode, EmptyClipboardWithEmptyInputDoesNothingVisible) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(ClearClipboard());
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), "");
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
    EXPECT_FALSE(app.IsEnabled(IDC_COPY_DECODED));
    EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST(PasteDecode, EmptyClipboardDecodesTheLinkAlreadyInTheInputBox) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(ClearClipboard());
    const std::string typed = FlashGetLink(kChineseFlashGet);
    ASSERT_TRUE(app.SetText(IDC_LINK_INPUT, typed));
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), typed);
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kChineseFlashGet);
    EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
}

TEST(PasteDecode, TypedTextIsReplacedByTheClipboardAndTypingAloneDecodesNothing) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PutClipboardText(QqdlLink(kAddress)));
    TypeText(app.Item(IDC_LINK_INPUT), "qqdl://aHR0cDovL3R5cGVkL2E=");
    ASSERT_TRUE(app.WaitIdle());
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), "qqdl://aHR0cDovL3R5cGVkL2E=");
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");

    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), QqdlLink(kAddress));
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
}

const char* const kRefusedTexts[] = {
    "http://example.com/file.zip",
    " thunder://QUFodHRwOi8vYS9iWlo=",
    "Thunder://QUFodHRwOi8vYS9iWlo=",
    "网址/不是链接",
};

TEST(PasteDecode, RefusedTextEmptiesBothBoxesAndDisablesCopyBeforeTheWarning) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    for (const char* refused : kRefusedTexts) {
        SCOPED_TRACE(refused);
        ASSERT_TRUE(PasteAndDecode(app, ThunderLink(kAddress)));
        ASSERT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
        ASSERT_TRUE(app.IsEnabled(IDC_COPY_DECODED));

        ASSERT_TRUE(PasteAndDecode(app, refused));
        ASSERT_TRUE(app.WaitForMessageBoxes(1)) << "no warning box";
        // Checked while the box is up: the handler waits in it, so this came first.
        EXPECT_EQ(app.Text(IDC_LINK_INPUT), "");
        EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
        EXPECT_FALSE(app.IsEnabled(IDC_COPY_DECODED));
        // The box has no owner: the dialog stays usable.
        EXPECT_TRUE(::IsWindowEnabled(app.Dialog()));
        HWND box = app.MessageBoxes().front();
        ExpectWarningBox(app, box);

        ASSERT_TRUE(VeltrunSession::DismissWithOk(box));
        ASSERT_TRUE(app.WaitIdle());
        EXPECT_TRUE(app.MessageBoxes().empty());
        EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
        EXPECT_FALSE(app.IsEnabled(IDC_COPY_DECODED));
    }
}

TEST(PasteDecode, TwoClicksOnARefusedTextStackTwoWarningBoxes) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PasteAndDecode(app, "http://example.com/not-a-link"));
    ASSERT_TRUE(app.WaitForMessageBoxes(1));
    // The second click runs inside the first box's loop and opens a box on top.
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    ASSERT_TRUE(app.WaitForMessageBoxes(2));
    for (HWND box : app.MessageBoxes()) {
        ExpectWarningBox(app, box);
    }
    const std::vector<HWND> boxes = app.MessageBoxes();
    ASSERT_TRUE(VeltrunSession::DismissWithOk(boxes[0]));
    EXPECT_TRUE(app.WaitForMessageBoxes(1));
    ASSERT_TRUE(VeltrunSession::DismissWithOk(boxes[1]));
    EXPECT_TRUE(app.WaitForMessageBoxes(0));
    EXPECT_TRUE(app.IsResponsive());
    ASSERT_TRUE(PasteAndDecode(app, ThunderLink(kAddress)));
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
}

// Thunder payloads of four decoded bytes or fewer: the markers eat everything.
const char* const kShortThunderPayloads[] = {"AAZZ", "AZZ", "A", ""};

TEST(PasteDecode, ShortThunderPayloadGivesAnEmptyAddressWithCopyEnabledThatCopiesNothing) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    for (const char* payload : kShortThunderPayloads) {
        SCOPED_TRACE(payload);
        ASSERT_TRUE(PasteAndDecode(app, QqdlLink(kAddress)));
        ASSERT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);

        ASSERT_TRUE(PasteAndDecode(app, "thunder://" + linkdecode::testing::EncodeBase64(payload)));
        EXPECT_TRUE(app.MessageBoxes().empty());
        EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
        EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
        EXPECT_TRUE(CopyChangesNothing(app));
    }
}

TEST(Copy, PutsExactlyWhatTheOutputBoxHoldsAlsoAfterTheUserEditedIt) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PasteAndDecode(app, ThunderLink(kChineseThunder)));
    EXPECT_EQ(CopyAndRead(app), kChineseThunder);

    // Typed over the selected address.
    HWND output = app.Item(IDC_DECODED_OUTPUT);
    ::SendMessageA(output, EM_SETSEL, 0, -1);
    TypeText(output, "ftp://typed.example/b.txt");
    // Typing sets the output box's modified flag, which WaitIdle watches: use the input box.
    ASSERT_TRUE(WaitForPostedMessages(app.Item(IDC_LINK_INPUT)));
    ASSERT_EQ(app.Text(IDC_DECODED_OUTPUT), "ftp://typed.example/b.txt");
    EXPECT_EQ(CopyAndRead(app), "ftp://typed.example/b.txt");

    ASSERT_TRUE(app.SetText(IDC_DECODED_OUTPUT, "用户改过的地址 http://x/改"));
    EXPECT_EQ(CopyAndRead(app), "用户改过的地址 http://x/改");

    // An emptied box copies nothing, although the button stays enabled.
    ASSERT_TRUE(app.SetText(IDC_DECODED_OUTPUT, ""));
    EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
    EXPECT_TRUE(CopyChangesNothing(app));
    EXPECT_EQ(ClipboardText(), "用户改过的地址 http://x/改");
}

TEST(Screenshot, DialogAfterDecodingAThunderLink) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PasteAndDecode(app, ThunderLink(kChineseThunder)));
    ASSERT_EQ(app.Text(IDC_DECODED_OUTPUT), kChineseThunder);
    // The address is drawn in the output box, over the box's own background.
    const auto picture = app.Screenshot(app.Dialog(), "decoded");
    ASSERT_TRUE(picture.has_value());
    const auto output = picture->ColoursOver(app.Item(IDC_DECODED_OUTPUT));
    EXPECT_GT(output.size(), 1u);
    EXPECT_EQ(MostCommon(output), ::GetSysColor(COLOR_WINDOW));
}

}  // namespace
}  // namespace e2e
