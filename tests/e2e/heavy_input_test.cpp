// Bad and heavy input: whatever arrives, the program neither crashes nor hangs, and it still
// decodes the next link correctly.
#include <gtest/gtest.h>

#include <string>

#include "clipboard.h"
#include "input.h"
#include "links.h"
#include "resource.h"
#include "veltrun_session.h"
#include "wait.h"
#include "window_query.h"

namespace e2e {
namespace {

const std::string kAddress = "http://mirror.example.org/pub/release/app-3.0.tar.gz";

// The dialog still answers and a plain Thunder link afterwards gives its address.
void ExpectStillWorking(const VeltrunSession& app) {
    ASSERT_TRUE(app.IsResponsive()) << "the program crashed or hangs";
    ASSERT_TRUE(PutClipboardText(ThunderLink(kAddress)));
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
    EXPECT_TRUE(app.MessageBoxes().empty());
}

TEST(HeavyInput, OneMebibyteClipboardTextAfterALink) {
    // A link, then a whole page of text: only the first line's payload counts.
    std::string pasted = QqdlLink(kAddress) + "\r\n";
    while (pasted.size() < (1u << 20)) {
        pasted += "一行普通的文字 with a / and words 0123456789 abcdefghijklmnopqrstuvwxyz\r\n";
    }

    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PutClipboardText(pasted));
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    // The box keeps the edit control's own limit, so it holds the start of the page.
    const std::string input = app.Text(IDC_LINK_INPUT);
    EXPECT_FALSE(input.empty());
    EXPECT_TRUE(pasted.compare(0, input.size(), input) == 0) << "the pasted text was changed";
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
    EXPECT_TRUE(app.MessageBoxes().empty());
    ExpectStillWorking(app);
}

TEST(HeavyInput, LinkLongerThanTheEditBoxLimitIsCutAndStillHandled) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    // The boxes keep the edit control's own limit, whatever the system makes it: a longer link
    // is cut by the paste, so it gives the start of its address, and Copy still copies the box.
    const size_t limit = TextLimit(app.Item(IDC_LINK_INPUT));
    ASSERT_GT(limit, 0u);
    std::string address = "http://long.example.com/";
    address.append(limit, 'q');
    const std::string link = ThunderLink(address);
    ASSERT_GT(link.size(), limit);

    ASSERT_TRUE(PutClipboardText(link));
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    const std::string input = app.Text(IDC_LINK_INPUT);
    EXPECT_EQ(input.size(), limit);
    EXPECT_TRUE(link.compare(0, input.size(), input) == 0) << "the pasted link was changed";
    // Three bytes for every four Base64 characters left after the scheme, less both markers.
    const size_t carried = (limit - std::string("thunder://").size()) / 4 * 3 - 4;
    const std::string output = app.Text(IDC_DECODED_OUTPUT);
    EXPECT_GE(output.size(), carried);
    EXPECT_TRUE(address.compare(0, output.size(), output) == 0) << "the address was changed";

    const DWORD before = ClipboardSequence();
    ASSERT_TRUE(app.ClickAndWait(IDC_COPY_DECODED));
    ASSERT_TRUE(WaitUntil([&] { return ClipboardSequence() != before; }));
    EXPECT_TRUE(ClipboardText() == output);
    ExpectStillWorking(app);
}

// Every control character but the zero that ends CF_TEXT, DEL, and double-byte lead bytes
// followed by bytes that cannot trail them. (Such a pair is read as one character, so nothing
// that must survive, like the "/", may follow a lead byte directly.)
std::string Garbage() {
    std::string bytes;
    for (int c = 1; c < 0x20; ++c) {
        bytes += static_cast<char>(c);
    }
    bytes += "\x7f\x80\xff";
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        bytes += static_cast<char>(lead);
        bytes += static_cast<char>(0x20 + lead % 0x20);
    }
    return bytes;
}

TEST(HeavyInput, ControlCharactersAndInvalidDoubleByteSequences) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);

    // With a "/" but no scheme: refused.
    ASSERT_TRUE(PutClipboardText(Garbage() + "/" + Garbage() + "\xfe"));
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    ASSERT_TRUE(app.WaitForMessageBoxes(1));
    EXPECT_EQ(VeltrunSession::Describe(app.MessageBoxes().front()).text, kWarningText);
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), "");
    ASSERT_TRUE(VeltrunSession::DismissWithOk(app.MessageBoxes().front()));
    ASSERT_TRUE(app.WaitForMessageBoxes(0));

    // After a scheme: decoded as far as it is Base64, which here is not at all.
    ASSERT_TRUE(PutClipboardText("thunder://" + Garbage() + "\xfe"));
    ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
    EXPECT_TRUE(app.MessageBoxes().empty());
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
    EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
    ExpectStillWorking(app);
}

struct BinaryCase {
    const char* name;
    std::string link;
    std::string address;
};

const BinaryCase kBinaryCases[] = {
    // Cut at the first zero byte, then the markers are trimmed from the cut end.
    {"ThunderControlBytesThenZero",
     ThunderLink(std::string("http://a.example/b\x01\x02\x1f\x7f", 22) +
                 std::string("ZZ\0\xff\xfe\x80\0tail", 11)),
     std::string("http://a.example/b\x01\x02\x1f\x7f", 22)},
    {"QqdlStartingWithZero", QqdlLink(std::string("\0http://x.example/", 18)), ""},
    {"FlashGetZeroInsideTheMarker", FlashGetLink(std::string("\0", 1) + kAddress), ""},
};

TEST(HeavyInput, PayloadsDecodingToBinaryBytesWithZeros) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    for (const BinaryCase& c : kBinaryCases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(PutClipboardText(c.link));
        ASSERT_TRUE(app.ClickAndWait(IDC_PASTE_DECODE));
        EXPECT_TRUE(app.MessageBoxes().empty());
        EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), c.address);
        EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
    }
    ExpectStillWorking(app);
}

TEST(HeavyInput, TwoHundredClicksInARowWithALinkOnTheClipboard) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    const std::string link = FlashGetLink(kAddress);
    ASSERT_TRUE(PutClipboardText(link));
    ASSERT_TRUE(app.ClickManyAndWait(IDC_PASTE_DECODE, 200));
    EXPECT_EQ(app.Text(IDC_LINK_INPUT), link);
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), kAddress);
    EXPECT_TRUE(app.IsEnabled(IDC_COPY_DECODED));
    EXPECT_TRUE(app.MessageBoxes().empty());
    ExpectStillWorking(app);
}

TEST(HeavyInput, TenStackedWarningBoxesDismissedOutOfOrder) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    ASSERT_TRUE(PutClipboardText("ftp://example.com/refused"));
    // Each click runs inside the loop of the box the previous one opened.
    ASSERT_TRUE(app.ClickManyAndWait(IDC_PASTE_DECODE, 10));
    ASSERT_TRUE(app.WaitForMessageBoxes(10));
    const std::vector<HWND> boxes = app.MessageBoxes();
    for (size_t i : {4, 0, 9, 2, 7, 1, 8, 3, 6, 5}) {
        SCOPED_TRACE("box " + std::to_string(i));
        EXPECT_EQ(VeltrunSession::Describe(boxes[i]).text, kWarningText);
        ASSERT_TRUE(VeltrunSession::DismissWithOk(boxes[i]));
        EXPECT_TRUE(app.IsResponsive());
    }
    ASSERT_TRUE(app.WaitForMessageBoxes(0));
    ExpectStillWorking(app);
}

}  // namespace
}  // namespace e2e
