#include "app_process.h"

#include <vector>

namespace e2e {

AppProcess::AppProcess(const std::string& exePath) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    std::vector<char> commandLine(exePath.begin(), exePath.end());
    commandLine.insert(commandLine.begin(), '"');
    commandLine.push_back('"');
    commandLine.push_back('\0');
    if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info_)) {
        info_ = {};
    }
}

AppProcess::~AppProcess() {
    if (info_.hProcess == nullptr) {
        return;
    }
    if (IsRunning()) {
        ::TerminateProcess(info_.hProcess, 0xDEAD);
        ::WaitForSingleObject(info_.hProcess, 10000);
    }
    ::CloseHandle(info_.hThread);
    ::CloseHandle(info_.hProcess);
}

bool AppProcess::IsRunning() const {
    return info_.hProcess != nullptr && ::WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> AppProcess::WaitForExit(DWORD timeoutMs) const {
    if (info_.hProcess == nullptr ||
        ::WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

}  // namespace e2e
