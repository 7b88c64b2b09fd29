#include "cli/open_command.h"

#include "cli/output_stream.h"
#include "cli/reporter.h"
#include "linkdecode/address_check.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/platform_gb_converter.h"
#include "linkdecode/read_outcome.h"
#include "linkdecode/text_render.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "cli/wide_text.h"
#else
#include "cli/desktop_process.h"
#endif

namespace veltrun {

namespace {

// Where the desktop started us there is no terminal to read a message in. On Windows a click
// gives the program a console of its own that closes with it, so a message box says it; from
// a command prompt the console stays and standard error suffices. Elsewhere a notification.
void Tell(Reporter& reporter, const std::string& text) {
    reporter.Message(text);
    reporter.Out().Flush();
#ifdef _WIN32
    DWORD processes[2];
    if (::GetConsoleWindow() != nullptr && ::GetConsoleProcessList(processes, 2) == 1)
        ::MessageBoxW(nullptr, WideFromUtf8("veltrun: " + text).c_str(), L"Veltrun",
                      MB_OK | MB_ICONEXCLAMATION);
#else
    // Without a desktop session notify-send has nowhere to show it and only adds its own error.
    const bool desktop =
        std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
    if (desktop && ProgramExists("notify-send"))
        RunProgram({"notify-send", "--app-name=Veltrun", "--", "Veltrun", text});
#endif
}

// Hands `address` (ASCII: percent-encoded) to the desktop; false when that failed.
bool OpenWithDesktop(const std::string& address) {
#ifdef _WIN32
    const std::wstring wide = WideFromUtf8(address);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
#else
    const std::optional<int> status = RunProgram({"xdg-open", address});
    return status && *status == 0;
#endif
}

}  // namespace

int RunOpen(const std::string& link, linkdecode::ReadMode mode) {
    Reporter reporter(false);
    const linkdecode::LinkReading reading = linkdecode::ReadLink(link, {mode});
    if (!reading.HasAddress()) {
        Tell(reporter, Shown(link) + ": not opened: " +
                           std::string(linkdecode::NoAddressReason(reading.outcome)));
        return 1;
    }
    if (!linkdecode::IsOpenableAddress(reading.address)) {
        Tell(reporter, Shown(reading.address) +
                           ": not opened: only http, https, ftp, magnet and ed2k addresses "
                           "without spaces or control characters are opened");
        return 1;
    }
    std::string address;
    linkdecode::RenderPercentEncoded(reading.address, linkdecode::Charset::Raw,
                                     linkdecode::PlatformGbConverter(), address);
    if (!OpenWithDesktop(address)) {
#ifdef _WIN32
        const char* opener = "the desktop";
#else
        const char* opener = "xdg-open";
#endif
        Tell(reporter, address + ": " + opener + " could not open it");
        return 2;
    }
    return 0;
}

}  // namespace veltrun
