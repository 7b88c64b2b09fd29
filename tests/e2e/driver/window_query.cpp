#include "window_query.h"

#include "wait.h"

namespace e2e {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs,
                                 result) != 0;
}

}  // namespace

std::string ClassName(HWND window) {
    char name[256] = {};
    const int length = ::GetClassNameA(window, name, sizeof(name));
    return std::string(name, length > 0 ? length : 0);
}

std::string WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) {
        return {};
    }
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                         &copied)) {
        return {};
    }
    text.resize(copied < length ? copied : length);
    return text;
}

bool SetWindowTextOf(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    return SendWithTimeout(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                           &result) &&
           result != 0;
}

size_t TextLimit(HWND edit) {
    DWORD_PTR limit = 0;
    return SendWithTimeout(edit, EM_GETLIMITTEXT, 0, 0, &limit) ? limit : 0;
}

DWORD Style(HWND window) {
    return static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_STYLE));
}

DWORD ExStyle(HWND window) {
    return static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_EXSTYLE));
}

WORD ControlId(HWND window) {
    return static_cast<WORD>(::GetWindowLongPtrA(window, GWLP_ID));
}

HWND Owner(HWND window) {
    return ::GetWindow(window, GW_OWNER);
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const char* className) {
    struct Search {
        DWORD pid;
        const char* className;
        std::vector<HWND> found;
    } search{pid, className, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s.pid && ::IsWindowVisible(window) && ClassName(window) == s.className) {
                s.found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FocusOf(DWORD threadId) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(threadId, &info) ? info.hwndFocus : nullptr;
}

bool Responds(HWND window) {
    DWORD_PTR result = 0;
    return SendWithTimeout(window, WM_NULL, 0, 0, &result);
}

}  // namespace e2e
