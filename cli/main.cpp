// Entry point of the veltrun command-line tool: the arguments as UTF-8, then RunVeltrun.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int RunGuarded(const std::vector<std::string>& args) {
    try {
        return veltrun::RunVeltrun(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "veltrun: %s\n", e.what());
        return 2;
    }
}

}  // namespace

#ifdef _WIN32

// The narrow argv of Windows is in the ANSI code page and loses what that cannot hold.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, arg.data(), size, nullptr, nullptr);
        arg.pop_back();
        args.push_back(std::move(arg));
    }
    return RunGuarded(args);
}

#else

int main(int argc, char** argv) {
    return RunGuarded(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
}

#endif
