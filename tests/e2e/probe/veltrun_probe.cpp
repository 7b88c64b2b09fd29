// Loaded into Veltrun.exe by the end-to-end driver to ask what only the program's own process can
// see under Wine: its menus and icons are not reachable from another process there.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "probe_protocol.h"
#include "resource.h"
#include "scoped_win.h"

namespace {

using e2e::probe::Block;
using e2e::probe::Question;

std::string SystemMenu(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (menu == nullptr) {
        return "no menu";
    }
    std::string lines;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof(text) - 1;
        if (!::GetMenuItemInfoA(menu, i, TRUE, &item)) {
            lines += "? ? ?\n";
            continue;
        }
        char head[64];
        std::snprintf(head, sizeof(head), "%x %u ", item.fType, item.wID);
        lines += head;
        lines += text;
        lines += '\n';
    }
    return lines;
}

std::string IconSize(HICON icon) {
    if (icon == nullptr) {
        return "none";
    }
    ICONINFO info = {};
    if (!::GetIconInfo(icon, &info)) {
        return "invalid";
    }
    const win32::ScopedGdiObject color(info.hbmColor);
    const win32::ScopedGdiObject mask(info.hbmMask);
    BITMAP bitmap = {};
    ::GetObjectA(color.Get() != nullptr ? color.Get() : mask.Get(), sizeof(bitmap), &bitmap);
    return std::to_string(bitmap.bmWidth) + "x" + std::to_string(bitmap.bmHeight);
}

// The program's icon as LoadIcon gives it, shared by the system.
HICON ProgramIcon() {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAIN_ICON));
}

std::string WindowIcons(HWND window) {
    DWORD_PTR big = 0, small = 0;
    ::SendMessageTimeoutA(window, WM_GETICON, ICON_BIG, 0, SMTO_NORMAL, 5000, &big);
    ::SendMessageTimeoutA(window, WM_GETICON, ICON_SMALL, 0, SMTO_NORMAL, 5000, &small);
    HICON own = ProgramIcon();
    const bool same = own != nullptr && reinterpret_cast<HICON>(big) == own &&
                      reinterpret_cast<HICON>(small) == own;
    return IconSize(reinterpret_cast<HICON>(big)) + " " + IconSize(reinterpret_cast<HICON>(small)) +
           (same ? " same" : " differ");
}

std::string StaticIcon(HWND control) {
    DWORD_PTR shown = 0;
    ::SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_NORMAL, 5000, &shown);
    const struct {
        LPCSTR id;
        const char* name;
    } kStandard[] = {{IDI_EXCLAMATION, "exclamation"},
                     {IDI_HAND, "hand"},
                     {IDI_ASTERISK, "asterisk"},
                     {IDI_QUESTION, "question"}};
    if (shown != 0 && reinterpret_cast<HICON>(shown) == ProgramIcon()) {
        return "program";
    }
    for (const auto& standard : kStandard) {
        if (shown != 0 && reinterpret_cast<HICON>(shown) == ::LoadIconA(nullptr, standard.id)) {
            return standard.name;
        }
    }
    return "other";
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI VeltrunProbeAnswer(void* parameter) {
    auto* block = static_cast<Block*>(parameter);
    try {
        std::string answer;
        switch (block->question) {
            case Question::SystemMenu:
                answer = SystemMenu(block->window);
                break;
            case Question::WindowIcons:
                answer = WindowIcons(block->window);
                break;
            case Question::StaticIcon:
                answer = StaticIcon(block->window);
                break;
            default:
                return 0;
        }
        answer.resize(std::min(answer.size(), sizeof(block->answer) - 1));
        std::memcpy(block->answer, answer.c_str(), answer.size() + 1);
        return 1;
    } catch (...) {
        // Nothing may unwind into the thread start of the program's process.
        return 0;
    }
}
