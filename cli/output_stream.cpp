#include "cli/output_stream.h"

#include "cli/system_error.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

namespace veltrun {

namespace {

// Large blocks: a write costs the same system call for 1 KiB as for 256 KiB.
constexpr std::size_t kFlushAt = 256 * 1024;

#ifdef _WIN32
HANDLE StreamHandle(OutputStream::Target target) {
    return GetStdHandle(target == OutputStream::Target::Stdout ? STD_OUTPUT_HANDLE
                                                               : STD_ERROR_HANDLE);
}

bool IsConsole(OutputStream::Target target) {
    DWORD mode = 0;
    return GetConsoleMode(StreamHandle(target), &mode) != 0;
}

// The reader of a pipe has gone.
constexpr long kBrokenPipe = ERROR_NO_DATA;

#else
int StreamFd(OutputStream::Target target) {
    return target == OutputStream::Target::Stdout ? STDOUT_FILENO : STDERR_FILENO;
}

constexpr long kBrokenPipe = EPIPE;

#endif

}  // namespace

void PrepareStandardStreams() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#else
    // A parent that ignores SIGPIPE hands that on; the usual filter behaviour is wanted here.
    std::signal(SIGPIPE, SIG_DFL);
#endif
}

OutputStream::OutputStream(Target target, bool rawBytes)
    : target_(target), rawBytes_(rawBytes), interactive_(false), console_(false) {
#ifdef _WIN32
    console_ = IsConsole(target);
    interactive_ = console_;
#else
    interactive_ = isatty(StreamFd(target)) != 0;
#endif
    interactive_ = interactive_ || target == Target::Stderr;
}

OutputStream::~OutputStream() {
    Flush();
}

void OutputStream::Write(std::string_view text) {
    buffer_.append(text);
    Commit();
}

void OutputStream::Commit() {
    if (interactive_ || buffer_.size() >= kFlushAt)
        Flush();
}

void OutputStream::Flush() {
    if (buffer_.empty())
        return;
    WriteOut(buffer_);
    buffer_.clear();  // keeps the storage for the next block
}

void OutputStream::Fail(long error) {
    if (error == kBrokenPipe)
        std::_Exit(2);
    if (target_ == Target::Stdout) {
        OutputStream err(Target::Stderr, false);
        err.Write("veltrun: standard output: " + DescribeSystemError(error) + "\n");
    }
    std::_Exit(2);
}

#ifdef _WIN32

void OutputStream::WriteOut(std::string_view bytes) {
    const HANDLE handle = StreamHandle(target_);
    if (console_ && !rawBytes_) {
        const int wide = MultiByteToWideChar(CP_UTF8, 0, bytes.data(),
                                             static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), utf16.data(),
                            wide);
        std::size_t done = 0;
        while (done < utf16.size()) {
            // Old consoles refuse very large writes; 8 K characters at a time always pass.
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(utf16.size() - done, 8192));
            DWORD written = 0;
            if (!WriteConsoleW(handle, utf16.data() + done, chunk, &written, nullptr) ||
                written == 0)
                Fail(LastSystemError());
            done += written;
        }
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr)) {
            const DWORD error = GetLastError();
            Fail(error == ERROR_BROKEN_PIPE ? kBrokenPipe : static_cast<long>(error));
        }
        done += written;
    }
}

#else

void OutputStream::WriteOut(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(StreamFd(target_), bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail(LastSystemError());
        }
        done += static_cast<std::size_t>(written);
    }
}

#endif

}  // namespace veltrun
