#include "clipboard.h"

#include <cstring>

#include "wait.h"

namespace e2e {
namespace {

// Holds the clipboard open; an owner window is needed for SetClipboardData to keep the data. The
// window is destroyed again at once, so no test process has to answer for the clipboard later.
class OpenedClipboard {
public:
    OpenedClipboard() {
        owner_ = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                   nullptr);
        // Wine's clipboard bridge to X may hold the clipboard for a moment.
        opened_ = WaitUntil([&] { return ::OpenClipboard(owner_) != 0; }, 2000);
    }
    ~OpenedClipboard() {
        if (opened_) {
            ::CloseClipboard();
        }
        if (owner_ != nullptr) {
            ::DestroyWindow(owner_);
        }
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;

    bool IsOpen() const { return opened_; }

private:
    HWND owner_ = nullptr;
    bool opened_ = false;
};

class GlobalMemory {
public:
    explicit GlobalMemory(SIZE_T size) : handle_(::GlobalAlloc(GMEM_MOVEABLE, size)) {}
    ~GlobalMemory() {
        if (handle_ != nullptr) {
            ::GlobalFree(handle_);
        }
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;

    HGLOBAL Get() const { return handle_; }
    // Gives up ownership, as after a successful SetClipboardData.
    void Release() { handle_ = nullptr; }

private:
    HGLOBAL handle_;
};

}  // namespace

bool PutClipboardText(const std::string& bytes) {
    GlobalMemory memory(bytes.size() + 1);
    if (memory.Get() == nullptr) {
        return false;
    }
    void* data = ::GlobalLock(memory.Get());
    if (data == nullptr) {
        return false;
    }
    std::memcpy(data, bytes.c_str(), bytes.size() + 1);
    ::GlobalUnlock(memory.Get());

    OpenedClipboard clipboard;
    if (!clipboard.IsOpen() || !::EmptyClipboard() ||
        ::SetClipboardData(CF_TEXT, memory.Get()) == nullptr) {
        return false;
    }
    memory.Release();
    return true;
}

bool ClearClipboard() {
    OpenedClipboard clipboard;
    return clipboard.IsOpen() && ::EmptyClipboard();
}

std::optional<std::string> ClipboardText() {
    OpenedClipboard clipboard;
    if (!clipboard.IsOpen()) {
        return std::nullopt;
    }
    HANDLE handle = ::GetClipboardData(CF_TEXT);
    if (handle == nullptr) {
        return std::nullopt;
    }
    const char* data = static_cast<const char*>(::GlobalLock(handle));
    if (data == nullptr) {
        return std::nullopt;
    }
    const SIZE_T capacity = ::GlobalSize(handle);
    std::string text(data, strnlen(data, capacity));
    ::GlobalUnlock(handle);
    return text;
}

DWORD ClipboardSequence() {
    return ::GetClipboardSequenceNumber();
}

}  // namespace e2e
