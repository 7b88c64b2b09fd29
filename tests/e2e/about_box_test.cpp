// The About box reached from the system menu: its commands, layout, modality and ways to close.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "input.h"
#include "probe_client.h"
#include "resource.h"
#include "veltrun_session.h"
#include "wait.h"
#include "window_query.h"

namespace e2e {
namespace {

constexpr WORD kNoId = 0xFFFF;

struct AboutControl {
    WORD id;
    const char* className;
    const char* text;  // null: a free text, which must not be empty
    RECT dialogUnits;  // x, y, width, height; width 0: sized by its content
    DWORD style;
};

const AboutControl kAboutControls[] = {
    {kNoId, "Static", "", {11, 17, 0, 0}, 0x50000003},
    {kNoId, "Static", "Veltrun 1.1 版", {40, 10, 119, 8}, 0x50020080},
    {kNoId, "Static", nullptr, {38, 34, 99, 8}, 0x50020000},
    {IDOK, "Button", "确定", {178, 7, 50, 14}, 0x50030001},
    {kNoId, "Static", nullptr, {138, 34, 89, 8}, 0x50020000},
};

HWND OpenAbout(const VeltrunSession& app, WPARAM command) {
    ::PostMessageA(app.Dialog(), WM_SYSCOMMAND, command, 0);
    HWND about = nullptr;
    WaitUntil([&] {
        const auto owned = app.OwnedDialogs();
        about = owned.empty() ? nullptr : owned.front();
        return about != nullptr;
    });
    return about;
}

void CheckAboutLayout(const VeltrunSession& app, HWND about) {
    EXPECT_EQ(WindowText(about), "关于解码器");
    EXPECT_EQ(Style(about) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    for (DWORD bit :
         {DWORD(WS_POPUP), DWORD(WS_CAPTION), DWORD(WS_SYSMENU), DWORD(DS_MODALFRAME)}) {
        EXPECT_EQ(Style(about) & bit, bit) << std::hex << bit;
    }

    RECT client;
    ::GetClientRect(about, &client);
    const int unitX = ::MulDiv(client.right, 4, 235);
    const int unitY = ::MulDiv(client.bottom, 8, 55);
    const std::vector<HWND> children = Children(about);
    ASSERT_EQ(children.size(), std::size(kAboutControls));
    for (size_t i = 0; i < children.size(); ++i) {
        const AboutControl& row = kAboutControls[i];
        HWND child = children[i];
        SCOPED_TRACE("About control #" + std::to_string(i + 1));
        EXPECT_EQ(ControlId(child), row.id);
        EXPECT_STRCASEEQ(ClassName(child).c_str(), row.className);
        if (row.text != nullptr) {
            if ((row.style & SS_TYPEMASK) != SS_ICON || row.id == IDOK) {
                EXPECT_EQ(WindowText(child), row.text);
            }
        } else {
            EXPECT_NE(WindowText(child), "");
        }
        EXPECT_EQ(Style(child), row.style) << std::hex << "style 0x" << Style(child);

        RECT place;
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&place), 2);
        const RECT& du = row.dialogUnits;
        EXPECT_NEAR(place.left, ::MulDiv(du.left, unitX, 4), 1);
        EXPECT_NEAR(place.top, ::MulDiv(du.top, unitY, 8), 1);
        if (du.right != 0) {
            EXPECT_NEAR(place.right - place.left, ::MulDiv(du.right, unitX, 4), 1);
            EXPECT_NEAR(place.bottom - place.top, ::MulDiv(du.bottom, unitY, 8), 1);
        }
    }
    EXPECT_EQ(AskProbe(app.Process(), probe::Question::StaticIcon, children.at(0)), "program");

    // Centred over the main dialog.
    RECT own, main;
    ::GetWindowRect(about, &own);
    ::GetWindowRect(app.Dialog(), &main);
    EXPECT_LE(std::abs((own.left + own.right) - (main.left + main.right)), 2);
    EXPECT_LE(std::abs((own.top + own.bottom) - (main.top + main.bottom)), 2);
}

struct Closer {
    const char* name;
    std::function<void(const VeltrunSession&, HWND about)> close;
};

const Closer kClosers[] = {
    {"OkButton", [](const VeltrunSession&, HWND about) { Click(::GetDlgItem(about, IDOK)); }},
    {"Enter", [](const VeltrunSession& app, HWND) { PressKey(app.Focus(), VK_RETURN); }},
    {"Escape", [](const VeltrunSession& app, HWND) { PressKey(app.Focus(), VK_ESCAPE); }},
    {"CloseBox", [](const VeltrunSession&, HWND about) { ::PostMessageA(about, WM_CLOSE, 0, 0); }},
};

// Any system command whose id without its low four bits is 0x0010.
const WPARAM kAboutCommands[] = {IDM_ABOUT_BOX, 0x0013, 0x001F};

TEST(AboutBox, OpensFromItsSystemCommandModalOverTheMainDialogAndClosesEveryWay) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    bool first = true;
    for (WPARAM command : kAboutCommands) {
        for (const Closer& closer : kClosers) {
            SCOPED_TRACE("command " + std::to_string(command) + ", closed by " + closer.name);
            HWND about = OpenAbout(app, command);
            ASSERT_NE(about, nullptr) << "no About box";
            EXPECT_EQ(Owner(about), app.Dialog());
            // The main dialog takes no input while the About box is up.
            EXPECT_FALSE(::IsWindowEnabled(app.Dialog()));
            ASSERT_TRUE(WaitUntil([&] { return ::GetParent(app.Focus()) == about; }));
            if (first) {
                CheckAboutLayout(app, about);
                // The icon is drawn: its control does not show one colour only.
                const auto picture = app.Screenshot(about, "about-box");
                ASSERT_TRUE(picture.has_value());
                EXPECT_GT(picture->ColoursOver(Children(about).at(0)).size(), 1u);
                first = false;
            }
            closer.close(app, about);
            EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); })) << "About box stayed";
            EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(app.Dialog()) != 0; }));
            EXPECT_TRUE(app.Process().IsRunning());
        }
    }
}

TEST(AboutBox, OtherSystemCommandsDoNotOpenIt) {
    VeltrunSession app;
    ASSERT_NE(app.Dialog(), nullptr);
    for (WPARAM command : {WPARAM(0x0000), WPARAM(0x0020), WPARAM(0x0110)}) {
        SCOPED_TRACE("command " + std::to_string(command));
        ::PostMessageA(app.Dialog(), WM_SYSCOMMAND, command, 0);
        ASSERT_TRUE(app.WaitIdle());
        EXPECT_TRUE(app.OwnedDialogs().empty());
        EXPECT_TRUE(app.IsResponsive());
    }
}

}  // namespace
}  // namespace e2e
