#include "app_process.h"

#include <vector>

namespace e2e {
namespace {

// All zero if the start failed.
PROCESS_INFORMATION Start(const std::string& exePath, const std::string& arguments) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::string line = '"' + exePath + '"';
    if (!arguments.empty()) {
        line += ' ' + arguments;
    }
    std::vector<char> commandLine(line.begin(), line.end());
    commandLine.push_back('\0');
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info)) {
        info = {};
    }
    return info;
}

}  // namespace

AppProcess::AppProcess(const std::string& exePath, const std::string& arguments)
    : AppProcess(Start(exePath, arguments)) {}

AppProcess::AppProcess(const PROCESS_INFORMATION& started)
    : process_(started.hProcess),
      thread_(started.hThread),
      id_(started.dwProcessId),
      threadId_(started.dwThreadId) {}

AppProcess::~AppProcess() {
    if (IsRunning()) {
        ::TerminateProcess(process_.Get(), 0xDEAD);
        ::WaitForSingleObject(process_.Get(), 10000);
    }
}

bool AppProcess::IsRunning() const {
    return process_.Get() != nullptr && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> AppProcess::WaitForExit(DWORD timeoutMs) const {
    if (process_.Get() == nullptr ||
        ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.Get(), &code);
    return code;
}

}  // namespace e2e
