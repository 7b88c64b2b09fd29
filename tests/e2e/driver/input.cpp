#include "input.h"

#include "wait.h"

namespace e2e {

void Click(HWND button) {
    ::PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND target, UINT vk) {
    const LPARAM scan = static_cast<LPARAM>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
    ::PostMessageA(target, WM_KEYDOWN, vk, scan | 1);
    ::PostMessageA(target, WM_KEYUP, vk, scan | 1 | 0xC0000000);
}

void TypeText(HWND target, const char* ascii) {
    for (const char* c = ascii; *c != '\0'; ++c) {
        ::PostMessageA(target, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
}

bool WaitForPostedMessages(HWND edit) {
    DWORD_PTR ignored = 0;
    if (!::SendMessageTimeoutA(edit, EM_SETMODIFY, FALSE, 0, SMTO_NORMAL, kWaitMs, &ignored)) {
        return false;
    }
    // Posted messages of one thread are handled in order: once the marker is, so are the others.
    ::PostMessageA(edit, EM_SETMODIFY, TRUE, 0);
    return WaitUntil([&] {
        DWORD_PTR modified = 0;
        return ::SendMessageTimeoutA(edit, EM_GETMODIFY, 0, 0, SMTO_NORMAL, kWaitMs, &modified) &&
               modified != 0;
    });
}

}  // namespace e2e
