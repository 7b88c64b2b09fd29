// The main dialog as the user meets it: frame, layout, start state, and the ways it ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "clipboard.h"
#include "input.h"
#include "probe_client.h"
#include "resource.h"
#include "veltrun_session.h"
#include "wait.h"
#include "window_query.h"

namespace e2e {
namespace {

constexpr WORD kNoId = 0xFFFF;

struct ControlRow {
    WORD id;
    const char* className;
    const char* text;
    RECT dialogUnits;  // x, y, width, height
    DWORD style;
};

const ControlRow kMainControls[] = {
    {kNoId, "Button", "迅雷/快车/旋风 下载地址粘贴", {18, 19, 284, 68}, 0x50000007},
    {kNoId, "Button", "解码内容", {21, 116, 284, 68}, 0x50000007},
    {IDC_LINK_INPUT, "Edit", "", {28, 35, 263, 25}, 0x50A10044},
    {IDC_DECODED_OUTPUT, "Edit", "", {29, 134, 261, 25}, 0x50A10044},
    {IDC_PASTE_DECODE, "Button", "粘贴地址解码", {135, 66, 52, 14}, 0x50010000},
    {IDC_COPY_DECODED, "Button", "复制内容", {134, 164, 50, 14}, 0x58010000},
};

// Pixels of a dialog-unit length, rounded as the dialog manager does; `pixelsPerScale` is the
// dialog's base unit along that axis in pixels per `scale` units (4 along x, 8 along y).
int ToPixels(int units, int pixelsPerScale, int scale) {
    return ::MulDiv(units, pixelsPerScale, scale);
}

TEST(MainDialog, FrameIsAFixedAppWindowWithCaption) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr) << "the main dialog never appeared";
    HWND dialog = app.Dialog();

    EXPECT_EQ(ClassName(dialog), "#32770");
    EXPECT_EQ(WindowText(dialog), "迅雷/快车/旋风 下载地址转换");
    EXPECT_EQ(Owner(dialog), nullptr);
    const DWORD style = Style(dialog);
    for (DWORD bit : {DWORD(WS_POPUP), DWORD(WS_VISIBLE), DWORD(WS_CAPTION), DWORD(WS_SYSMENU),
                      DWORD(DS_MODALFRAME)}) {
        EXPECT_EQ(style & bit, bit) << std::hex << "missing style bit 0x" << bit;
    }
    for (DWORD bit : {DWORD(WS_MINIMIZEBOX), DWORD(WS_MAXIMIZEBOX), DWORD(WS_THICKFRAME),
                      DWORD(WS_CHILD), DWORD(WS_DISABLED)}) {
        EXPECT_EQ(style & bit, 0u) << std::hex << "unexpected style bit 0x" << bit;
    }
    EXPECT_EQ(ExStyle(dialog) & WS_EX_APPWINDOW, DWORD(WS_EX_APPWINDOW));

    // Centred on the screen: the centres differ by rounding only.
    RECT window, screen;
    ::GetWindowRect(dialog, &window);
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen, 0);
    EXPECT_LE(std::abs((window.left + window.right) - (screen.left + screen.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (screen.top + screen.bottom)), 2);

    // The picture shows the dialog drawn: mostly its face, and the empty output box in one colour.
    const auto picture = app.Screenshot(dialog, "main-dialog");
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(MostCommon(picture->ColoursOver(dialog)), ::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(picture->ColoursOver(app.Item(IDC_DECODED_OUTPUT)).size(), 1u);
}

TEST(MainDialog, ControlsInCreationOrderWithIdsClassesTextsStylesAndPlaces) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);

    // The client area is 320 x 200 dialog units; from it follow the base units.
    RECT client;
    ::GetClientRect(app.Dialog(), &client);
    const int unitX = ::MulDiv(client.right, 4, 320);
    const int unitY = ::MulDiv(client.bottom, 8, 200);
    ASSERT_GT(unitX, 0);
    ASSERT_GT(unitY, 0);

    const std::vector<HWND> children = Children(app.Dialog());
    ASSERT_EQ(children.size(), std::size(kMainControls));
    for (size_t i = 0; i < children.size(); ++i) {
        const ControlRow& row = kMainControls[i];
        HWND child = children[i];
        SCOPED_TRACE("control #" + std::to_string(i + 1) + " \"" + row.text + "\"");
        EXPECT_EQ(ControlId(child), row.id);
        EXPECT_STRCASEEQ(ClassName(child).c_str(), row.className);
        EXPECT_EQ(WindowText(child), row.text);
        // A bordered edit box gets the sunken client edge instead of the flat border.
        DWORD style = Style(child);
        if (row.className == std::string("Edit") && (ExStyle(child) & WS_EX_CLIENTEDGE) != 0) {
            style |= WS_BORDER;
        }
        EXPECT_EQ(style, row.style) << std::hex << "style 0x" << Style(child);

        RECT place;
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, app.Dialog(), reinterpret_cast<POINT*>(&place), 2);
        const RECT& du = row.dialogUnits;
        EXPECT_NEAR(place.left, ToPixels(du.left, unitX, 4), 1);
        EXPECT_NEAR(place.top, ToPixels(du.top, unitY, 8), 1);
        EXPECT_NEAR(place.right - place.left, ToPixels(du.right, unitX, 4), 1);
        EXPECT_NEAR(place.bottom - place.top, ToPixels(du.bottom, unitY, 8), 1);
    }
}

TEST(MainDialog, StartsWithEmptyBoxesCopyDisabledAndFocusInTheInputBox) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);

    EXPECT_EQ(app.Text(IDC_LINK_INPUT), "");
    EXPECT_EQ(app.Text(IDC_DECODED_OUTPUT), "");
    EXPECT_TRUE(app.IsEnabled(IDC_LINK_INPUT));
    EXPECT_TRUE(app.IsEnabled(IDC_DECODED_OUTPUT));
    EXPECT_TRUE(app.IsEnabled(IDC_PASTE_DECODE));
    EXPECT_FALSE(app.IsEnabled(IDC_COPY_DECODED));
    EXPECT_EQ(app.Focus(), app.Item(IDC_LINK_INPUT));
    // Neither button is a default button.
    for (int id : {IDC_PASTE_DECODE, IDC_COPY_DECODED}) {
        EXPECT_EQ(Style(app.Item(id)) & BS_DEFPUSHBUTTON, 0u) << id;
    }
}

TEST(MainDialog, SystemMenuEndsWithSeparatorAndAboutItemAndBothIconsAreTheProgramIcon) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);

    const auto menu = AskProbe(app.Process(), probe::Question::SystemMenu, app.Dialog());
    ASSERT_TRUE(menu.has_value()) << "the probe could not be run in the program";
    std::vector<std::string> items;
    for (size_t start = 0, end; (end = menu->find('\n', start)) != std::string::npos;
         start = end + 1) {
        items.push_back(menu->substr(start, end - start));
    }
    ASSERT_GE(items.size(), 3u) << *menu;
    // "<type> <id> <text>": a separator, then the string item 0x0010.
    EXPECT_EQ(items[items.size() - 2].substr(0, 4), "800 ") << *menu;
    EXPECT_EQ(items.back(), "0 16 关于我(&A)...") << *menu;
    // The standard items stay in front of them.
    for (size_t i = 0; i + 2 < items.size(); ++i) {
        EXPECT_EQ(items[i].find(" 16 "), std::string::npos) << items[i];
    }

    EXPECT_EQ(AskProbe(app.Process(), probe::Question::WindowIcons, app.Dialog()),
              "32x32 32x32 same");
}

// How the user ends the program, and what must not end it.
struct EndingRow {
    const char* name;
    std::function<void(const VeltrunSession&)> act;
    bool ends;
};

void PressInFocused(const VeltrunSession& app, int focusId, UINT vk) {
    ::SendMessageA(app.Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(app.Item(focusId)), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return app.Focus() == app.Item(focusId); }));
    PressKey(app.Focus(), vk);
}

const EndingRow kEndings[] = {
    {"EscapeInInputBox",
     [](const VeltrunSession& app) { PressInFocused(app, IDC_LINK_INPUT, VK_ESCAPE); }, true},
    {"EscapeInOutputBox",
     [](const VeltrunSession& app) { PressInFocused(app, IDC_DECODED_OUTPUT, VK_ESCAPE); }, true},
    {"CloseBox", [](const VeltrunSession& app) { ::PostMessageA(app.Dialog(), WM_CLOSE, 0, 0); },
     true},
    // Enter on a focused button clicks it: text without "/" is pasted and nothing ends.
    {"EnterOnPasteButton",
     [](const VeltrunSession& app) {
         ASSERT_TRUE(PutClipboardText("no slash here"));
         PressInFocused(app, IDC_PASTE_DECODE, VK_RETURN);
     },
     false},
};

// Neither edit box takes Enter and there is no default button, so Enter means OK.
const EndingRow kEnterInEditBoxes[] = {
    {"EnterInInputBox",
     [](const VeltrunSession& app) { PressInFocused(app, IDC_LINK_INPUT, VK_RETURN); }, true},
    {"EnterInOutputBox",
     [](const VeltrunSession& app) { PressInFocused(app, IDC_DECODED_OUTPUT, VK_RETURN); }, true},
};

template <size_t N>
void CheckEndings(const EndingRow (&rows)[N]) {
    for (const EndingRow& row : rows) {
        SCOPED_TRACE(row.name);
        VeltrunSession app;
        ASSERT_NE(app.Dialog(), nullptr);
        row.act(app);
        if (row.ends) {
            EXPECT_TRUE(app.Process().WaitForExit(kWaitMs).has_value()) << "still running";
        } else {
            EXPECT_TRUE(app.WaitIdle());
            EXPECT_TRUE(app.IsResponsive());
            EXPECT_EQ(app.Text(IDC_LINK_INPUT), "no slash here");
        }
    }
}

TEST(MainDialog, EndsOnEscapeAndCloseButNotOnEnterOnAButton) {
    CheckEndings(kEndings);
}

TEST(MainDialog, EndsOnEnterInAnEditBox) {
    CheckEndings(kEnterInEditBoxes);
}

}  // namespace
}  // namespace e2e
