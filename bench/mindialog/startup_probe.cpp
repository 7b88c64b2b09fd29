// Measures how fast a dialog program starts and answers its first paste:
//
//   startup_probe RUNS CLIPBOARD_TEXT EXPECTED_OUTPUT PROGRAM.exe
//
// Each run puts CLIPBOARD_TEXT on the clipboard, starts PROGRAM, waits for its visible dialog,
// clicks the paste button (IDC_PASTE_DECODE) and waits until the output box
// (IDC_DECODED_OUTPUT) holds EXPECTED_OUTPUT, then closes the dialog. One line per run:
// "run N visible_ms first_ms". The first run also pays for loading the program's DLLs from
// disk; the caller decides whether to count it. Exit 1 when a run fails.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resource.h"
#include "scoped_win.h"

namespace {

// Puts `text` on the clipboard as CF_TEXT; returns false when the clipboard refused it.
bool SetClipboardText(const std::string& text) {
    win32::ScopedGlobalMemory memory(text.c_str(), text.size() + 1);
    if (memory.Get() == nullptr)
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const win32::ScopedClipboard clipboard(nullptr);
        if (!clipboard.IsOpen()) {
            Sleep(10);
            continue;
        }
        EmptyClipboard();
        if (SetClipboardData(CF_TEXT, memory.Get()) == nullptr)
            return false;
        memory.Release();
        return true;
    }
    return false;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && IsWindowVisible(window) &&
        std::strcmp(className, "#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Polls until `done` holds or `timeoutMs` passed; false on timeout.
template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(1);
    }
    return true;
}

// One start of `program`; fills the two times and returns an empty string, or what went wrong.
std::string MeasureOnce(const std::string& program, const std::string& expected, double& visibleMs,
                        double& firstMs) {
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
        return "cannot start " + program;
    const win32::ScopedHandle process(info.hProcess);
    const win32::ScopedHandle thread(info.hThread);

    WindowSearch search = {info.dwProcessId, nullptr};
    const bool visible = WaitFor(
        [&] {
            EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        30000);
    LARGE_INTEGER shown;
    QueryPerformanceCounter(&shown);
    if (!visible) {
        TerminateProcess(process.Get(), 1);
        return "no visible dialog within 30 s";
    }
    const HWND dialog = search.found;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PASTE_DECODE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PASTE_DECODE)));
    std::string output;
    const bool answered = WaitFor(
        [&] {
            char text[4096] = "";
            GetDlgItemTextA(dialog, IDC_DECODED_OUTPUT, text, sizeof text);
            output = text;
            return !output.empty();
        },
        30000);
    LARGE_INTEGER first;
    QueryPerformanceCounter(&first);

    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(process.Get(), 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.Get(), 1);
    if (!answered)
        return "the output box stayed empty";
    if (output != expected)
        return "the output box holds \"" + output + "\", not \"" + expected + "\"";
    visibleMs = Milliseconds(start, shown);
    firstMs = Milliseconds(start, first);
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: startup_probe RUNS CLIPBOARD_TEXT EXPECTED_OUTPUT PROGRAM.exe\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    for (int run = 0; run < runs; ++run) {
        if (!SetClipboardText(argv[2])) {
            std::fprintf(stderr, "startup_probe: the clipboard refused the text\n");
            return 1;
        }
        double visibleMs = 0;
        double firstMs = 0;
        const std::string problem = MeasureOnce(argv[4], argv[3], visibleMs, firstMs);
        if (!problem.empty()) {
            std::fprintf(stderr, "startup_probe: run %d: %s\n", run, problem.c_str());
            return 1;
        }
        std::printf("run %d %.2f %.2f\n", run, visibleMs, firstMs);
        std::fflush(stdout);
    }
    return 0;
}
