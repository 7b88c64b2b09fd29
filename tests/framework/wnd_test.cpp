#include "framework/wnd.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/dialog.h"
#include "test_resource.h"

namespace {

std::string Bytes(const CString& s) {
    return std::string(s, s.GetLength());
}

// Runs `body` against a live test dialog, then closes it.
template <class Body>
void WithDialog(Body body) {
    class Host : public CDialog {
    public:
        explicit Host(Body& b) : CDialog(IDD_TEST_DIALOG), m_body(b) {}
        BOOL OnInitDialog() override {
            CDialog::OnInitDialog();
            m_body(*this);
            EndDialog(IDOK);
            return TRUE;
        }

    private:
        Body& m_body;
    } host(body);
    ASSERT_EQ(host.DoModal(), IDOK);
}

struct TextCase {
    const char* name;
    int control;
    std::string text;  // code page 936 bytes
};

// Names the case in ctest's list instead of dumping its bytes.
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(WindowTextTest, RoundTripsTheBytesUnchanged) {
    const TextCase& c = GetParam();
    WithDialog([&](CWnd& dialog) {
        CWnd control = dialog.GetDlgItem(c.control);
        ASSERT_NE(control.GetSafeHwnd(), nullptr);
        control.SetWindowText(c.text.c_str());
        CString read("stale");
        control.GetWindowText(read);
        EXPECT_EQ(Bytes(read), c.text);
        EXPECT_EQ(read.GetLength(), static_cast<int>(c.text.size()));
    });
}

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WindowTextTest,
    ::testing::Values(
        TextCase{"Empty", IDC_MULTI_EDIT, ""},
        TextCase{"Ascii", IDC_MULTI_EDIT, "http://example.com/a.zip"},
        // "下载/文件.zip": double-byte characters count two bytes each.
        TextCase{"Chinese", IDC_MULTI_EDIT, "\xCF\xC2\xD4\xD8/\xCE\xC4\xBC\xFE.zip"},
        TextCase{"ChineseCaption", IDC_ACTION, "\xB8\xB4\xD6\xC6\xC4\xDA\xC8\xDD"},
        TextCase{"LineBreaks", IDC_MULTI_EDIT, "line one\r\nline two"},
        // Beyond what a typed-in edit box takes by default: setting text has no such limit.
        // (One line without breaks: a single-line box, as a multi-line one wraps it slowly.)
        TextCase{"Long", IDC_SINGLE_EDIT, Repeat("0123456789\xBA\xBA", 10000)}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST(WndTest, MissingControlGivesAHarmlessNullWindow) {
    WithDialog([](CWnd& dialog) {
        CWnd missing = dialog.GetDlgItem(4242);
        EXPECT_EQ(missing.GetSafeHwnd(), nullptr);
        CString text("stale");
        missing.GetWindowText(text);
        EXPECT_TRUE(text.IsEmpty());
        missing.SetWindowText("ignored");
        EXPECT_EQ(missing.SendMessage(WM_GETTEXTLENGTH), 0);
        EXPECT_FALSE(missing.EnableWindow(FALSE));
        EXPECT_FALSE(missing.IsIconic());
        EXPECT_EQ(missing.GetSystemMenu(FALSE).m_hMenu, nullptr);
        RECT r = {1, 2, 3, 4};
        missing.GetClientRect(&r);
        EXPECT_TRUE(::IsRectEmpty(&r));
    });
}

TEST(WndTest, EnableWindowReportsThePreviousState) {
    WithDialog([](CWnd& dialog) {
        CWnd button = dialog.GetDlgItem(IDC_ACTION);
        // TRUE when the window was disabled before the call.
        const BOOL results[] = {button.EnableWindow(FALSE), button.EnableWindow(FALSE),
                                button.EnableWindow(TRUE), button.EnableWindow(TRUE)};
        EXPECT_FALSE(results[0]);
        EXPECT_TRUE(results[1]);
        EXPECT_TRUE(results[2]);
        EXPECT_FALSE(results[3]);
        EXPECT_TRUE(button.IsWindowEnabled());
    });
}

TEST(WndTest, SetFocusReturnsThePreviousFocus) {
    WithDialog([](CWnd& dialog) {
        CWnd first = dialog.GetDlgItem(IDC_MULTI_EDIT);
        CWnd second = dialog.GetDlgItem(IDC_SINGLE_EDIT);
        first.SetFocus();
        EXPECT_EQ(second.SetFocus().GetSafeHwnd(), first.GetSafeHwnd());
        EXPECT_EQ(::GetFocus(), second.GetSafeHwnd());
    });
}

TEST(WndTest, SystemMenuTakesAppendedItems) {
    WithDialog([](CWnd& dialog) {
        CMenu menu = dialog.GetSystemMenu(FALSE);
        ASSERT_NE(menu.m_hMenu, nullptr);
        const int before = ::GetMenuItemCount(menu.m_hMenu);
        EXPECT_TRUE(menu.AppendMenu(MF_SEPARATOR));
        EXPECT_TRUE(menu.AppendMenu(MF_STRING, 0x0010, "\xB9\xD8\xD3\xDA"));
        ASSERT_EQ(::GetMenuItemCount(menu.m_hMenu), before + 2);
        EXPECT_EQ(::GetMenuItemID(menu.m_hMenu, before + 1), 0x0010u);
        char text[16] = {};
        ::GetMenuStringA(menu.m_hMenu, 0x0010, text, sizeof(text), MF_BYCOMMAND);
        EXPECT_EQ(std::string(text), "\xB9\xD8\xD3\xDA");
        EXPECT_FALSE(CMenu().AppendMenu(MF_SEPARATOR));
    });
}

TEST(WndTest, ClientRectStartsAtTheOrigin) {
    WithDialog([](CWnd& dialog) {
        RECT r = {};
        dialog.GetClientRect(&r);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_GT(r.right, 0);
        EXPECT_GT(r.bottom, 0);
        EXPECT_FALSE(dialog.IsIconic());
    });
}

}  // namespace
