#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "scoped_win.h"

namespace e2e {

// A program started by the test. The destructor kills it if it still runs, so a failed test never
// leaves a dialog behind for the next one.
class AppProcess {
public:
    // Starts `exePath` (a Windows path) with `arguments` after its quoted name on the command
    // line; IsRunning() is false if that failed.
    explicit AppProcess(const std::string& exePath, const std::string& arguments = {});
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // True while the process has not ended.
    bool IsRunning() const;
    // The process id, 0 if the start failed.
    DWORD Id() const { return id_; }
    // The id of the program's first (user-interface) thread.
    DWORD ThreadId() const { return threadId_; }
    // The process handle (full access), null if the start failed.
    HANDLE Handle() const { return process_.Get(); }
    // Waits up to `timeoutMs` for the process to end and returns its exit code, or nothing if it
    // still runs.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

private:
    explicit AppProcess(const PROCESS_INFORMATION& started);

    win32::ScopedHandle process_;
    win32::ScopedHandle thread_;
    DWORD id_;
    DWORD threadId_;
};

}  // namespace e2e
