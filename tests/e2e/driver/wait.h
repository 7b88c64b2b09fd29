#pragma once

#include <windows.h>

namespace e2e {

// Generous bound for anything a test waits for; reaching it means the awaited thing never came.
constexpr DWORD kWaitMs = 15000;

// Delivers what was sent or posted to the test's own windows, such as the WM_DESTROYCLIPBOARD a
// program's EmptyClipboard sends to the previous clipboard owner and waits for.
void PumpMessages();

// Checks `condition` until it holds or `timeoutMs` has passed, pumping messages meanwhile; returns
// its last value. The bound is a safety net, not a measurement: nothing asserts how long it took.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = kWaitMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        PumpMessages();
    }
}

}  // namespace e2e
