#include "cli/open_command.h"

#include "cli/gb_converter.h"
#include "cli/output_stream.h"
#include "cli/reporter.h"
#include "linkdecode/address_check.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/text_render.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#else
#include "cli/desktop_process.h"
#endif

namespace veltrun {

namespace {

// Where the desktop started us there is no terminal: the notification is what a user sees.
void Refuse(Reporter& reporter, const std::string& text) {
    reporter.Message(text);
    reporter.Out().Flush();
#ifndef _WIN32
    if (ProgramExists("notify-send"))
        RunProgram({"notify-send", "--app-name=Veltrun", "--", "Veltrun", text});
#endif
}

// Hands `address` (ASCII: percent-encoded) to the desktop; false when that failed.
bool OpenWithDesktop(const std::string& address) {
#ifdef _WIN32
    const std::wstring wide(address.begin(), address.end());
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
        Refuse(reporter, Shown(link) + ": not opened: " +
                             (reading.outcome == linkdecode::UnwrapOutcome::Decoded
                                  ? "the link holds no address"
                                  : "not a " + SchemeList("://") + " link"));
        return 1;
    }
    if (!linkdecode::IsOpenableAddress(reading.address)) {
        Refuse(reporter, Shown(reading.address) +
                             ": not opened: only http, https, ftp, magnet and ed2k addresses "
                             "without spaces or control characters are opened");
        return 1;
    }
    std::string address;
    linkdecode::RenderPercentEncoded(reading.address, linkdecode::Charset::Raw,
                                     PlatformGbConverter(), address);
    if (!OpenWithDesktop(address)) {
#ifdef _WIN32
        const char* opener = "the desktop";
#else
        const char* opener = "xdg-open";
#endif
        reporter.Message(address + ": " + opener + " could not open it");
        return 2;
    }
    return 0;
}

}  // namespace veltrun
