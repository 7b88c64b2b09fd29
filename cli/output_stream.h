#pragma once

#include <string>
#include <string_view>

namespace veltrun {

// Buffered writing to standard output or standard error, for text in UTF-8 or raw bytes.
//
// On Windows, when the stream is a console, UTF-8 text is written as UTF-16 with
// WriteConsoleW so that Chinese shows whatever the console's code page; raw bytes and anything
// redirected to a file or a pipe are written unchanged. A write error ends the process: quietly
// with status 2 when the reader has gone (a closed pipe), otherwise with
// "veltrun: standard output: <reason>" on standard error and status 2.
class OutputStream {
public:
    enum class Target { Stdout, Stderr };

    // `rawBytes`: what is written is not UTF-8 text and must reach even a console unchanged.
    OutputStream(Target target, bool rawBytes);
    ~OutputStream();
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;

    // Appends `text`; writes out once enough is buffered, or at once for an interactive stream.
    // Each call must hold whole characters, as a console cannot take half of one.
    void Write(std::string_view text);

    // The buffer itself, for a caller that renders straight into it: append whole characters
    // only, then call Commit(), which writes out as Write does.
    std::string& Pending() { return buffer_; }
    void Commit();

    // Writes out everything buffered.
    void Flush();

private:
    void WriteOut(std::string_view bytes);
    [[noreturn]] void Fail(long error);

    Target target_;
    // Only the Windows console path reads these two.
    [[maybe_unused]] bool rawBytes_;
    bool interactive_;
    [[maybe_unused]] bool console_;
    std::string buffer_;
};

// Called once before any output: sets up the standard streams for binary output and the
// platform's broken-pipe behaviour (on POSIX a closed pipe ends the process by SIGPIPE).
void PrepareStandardStreams();

}  // namespace veltrun
