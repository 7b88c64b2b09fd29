#include "clipboard.h"

#include <cstring>
#include <optional>

#include "scoped_win.h"
#include "wait.h"

namespace e2e {
namespace {

// Runs `use` with the clipboard open for a message-only window of this thread, since only an
// owner makes SetClipboardData keep the data; returns `closed` if the clipboard never opened.
// The window goes with the clipboard, so no test process has to answer for the clipboard later.
template <typename Result, typename Use>
Result WithClipboard(Result closed, Use use) {
    const win32::ScopedWindow owner(
        ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    std::optional<win32::ScopedClipboard> clipboard;
    // Wine's clipboard bridge to X may hold the clipboard for a moment.
    if (!WaitUntil([&] { return clipboard.emplace(owner.Get()).IsOpen(); }, 2000)) {
        return closed;
    }
    return use();
}

}  // namespace

bool PutClipboardText(const std::string& bytes) {
    win32::ScopedGlobalMemory memory(bytes.c_str(), bytes.size() + 1);
    if (memory.Get() == nullptr) {
        return false;
    }
    return WithClipboard(false, [&] {
        if (!::EmptyClipboard() || ::SetClipboardData(CF_TEXT, memory.Get()) == nullptr) {
            return false;
        }
        memory.Release();
        return true;
    });
}

bool ClearClipboard() {
    return WithClipboard(false, [] { return ::EmptyClipboard() != FALSE; });
}

std::optional<std::string> ClipboardText() {
    return WithClipboard(std::optional<std::string>(), []() -> std::optional<std::string> {
        HANDLE handle = ::GetClipboardData(CF_TEXT);
        if (handle == nullptr) {
            return std::nullopt;
        }
        const win32::ScopedGlobalLock lock(handle);
        if (lock.Get() == nullptr) {
            return std::nullopt;
        }
        const char* data = static_cast<const char*>(lock.Get());
        return std::string(data, strnlen(data, lock.Size()));
    });
}

DWORD ClipboardSequence() {
    return ::GetClipboardSequenceNumber();
}

}  // namespace e2e
