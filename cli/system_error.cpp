#include "cli/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#endif

namespace veltrun {

long LastSystemError() {
#ifdef _WIN32
    return static_cast<long>(GetLastError());
#else
    return errno;
#endif
}

std::string DescribeSystemError(long code) {
#ifdef _WIN32
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = length != 0 ? std::string(message, length) : "error " + std::to_string(code);
    if (message != nullptr)
        LocalFree(message);
#else
    std::string text = std::strerror(static_cast<int>(code));
#endif
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

}  // namespace veltrun
