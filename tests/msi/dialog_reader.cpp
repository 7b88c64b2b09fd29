// Waits for a Veltrun dialog that something else started (the shell, for a clicked link), prints
// what its two boxes hold and closes it. Output, one line each, the bytes in hexadecimal:
//   input<TAB>the input box's text
//   output<TAB>the output box's text
// With --message-box, waits instead for a message box captioned "Veltrun", prints
//   message<TAB>its text
// and dismisses it with OK. Exit status 0 when a window was read, 1 when none came.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "resource.h"
#include "scoped_win.h"
#include "veltrun_session.h"
#include "wait.h"
#include "window_query.h"

namespace {

// The first top-level window `matches` accepts, or null.
template <typename Matches>
HWND FindWindowWhere(Matches matches) {
    struct Search {
        Matches& matches;
        HWND found;
    } search{matches, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            if (!s.matches(window)) {
                return TRUE;
            }
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsMainDialog(HWND window) {
    return ::GetDlgItem(window, IDC_LINK_INPUT) != nullptr &&
           ::GetDlgItem(window, IDC_DECODED_OUTPUT) != nullptr;
}

bool IsVeltrunMessageBox(HWND window) {
    return ::IsWindowVisible(window) && e2e::ClassName(window) == "#32770" &&
           e2e::WindowText(window) == "Veltrun" && !IsMainDialog(window);
}

int ReadMessageBox() {
    HWND box = nullptr;
    if (!e2e::WaitUntil([&] { return (box = FindWindowWhere(IsVeltrunMessageBox)) != nullptr; },
                        60000)) {
        std::fputs("no Veltrun message box appeared\n", stderr);
        return 1;
    }
    std::printf("message\t%s\n", e2e::VeltrunSession::Describe(box).text.c_str());
    std::fflush(stdout);
    return e2e::VeltrunSession::DismissWithOk(box) ? 0 : 1;
}

// The bytes as the control answers WM_GETTEXT, in the program's code page, as hexadecimal:
// what reaches the box must be the address's own bytes.
std::string HexText(HWND control) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : e2e::WindowText(control)) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--message-box") == 0) {
        return ReadMessageBox();
    }
    HWND dialog = nullptr;
    if (!e2e::WaitUntil([&] { return (dialog = FindWindowWhere(IsMainDialog)) != nullptr; },
                        60000)) {
        std::fputs("no Veltrun dialog appeared\n", stderr);
        return 1;
    }
    // The dialog decodes its argument once it is up: wait for the address, or give what it shows.
    HWND output = ::GetDlgItem(dialog, IDC_DECODED_OUTPUT);
    e2e::WaitUntil([&] { return !e2e::WindowText(output).empty(); });
    std::printf("input\t%s\noutput\t%s\n", HexText(::GetDlgItem(dialog, IDC_LINK_INPUT)).c_str(),
                HexText(output).c_str());
    std::fflush(stdout);

    DWORD pid = 0;
    ::GetWindowThreadProcessId(dialog, &pid);
    const win32::ScopedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
    if (process.Get() != nullptr) {
        ::WaitForSingleObject(process.Get(), e2e::kWaitMs);
    }
    return 0;
}
