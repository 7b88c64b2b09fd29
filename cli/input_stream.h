#pragma once

#include <cstddef>
#include <string>

namespace veltrun {

// Reads standard input or a file in pieces, as the bytes come (a pipe or a terminal gives
// what it has, so interactive use sees each line answered).
class InputStream {
public:
    // Standard input.
    InputStream();
    // The file at `path`, UTF-8 text on every platform; check Open() and Error() afterwards.
    explicit InputStream(const std::string& path);
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // Whether the file could be opened (standard input always is).
    bool Open() const { return open_; }

    // Whether the input is a terminal (a console on Windows), where a person types it.
    bool IsTerminal() const;

    // Reads the next piece into `piece`, replacing its content, and returns true; returns false
    // at the end of the input or on an error, which Error() then describes.
    bool Read(std::string& piece);

    // Empty, or the reason the last open or read failed.
    const std::string& Error() const { return error_; }

    // Whether the last Read took everything there was and less than it could: the next one may
    // wait for whoever writes the input, so what was answered so far should be seen first.
    bool RanDry() const { return ranDry_; }

private:
    static constexpr std::size_t kPieceSize = 64 * 1024;

#ifdef _WIN32
    void* handle_;
#else
    int fd_;
#endif
    bool owned_;
    bool open_;
    bool ranDry_ = true;
    std::string error_;
};

}  // namespace veltrun
