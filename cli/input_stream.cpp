#include "cli/input_stream.h"

#include "cli/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace veltrun {

#ifdef _WIN32

namespace {

std::wstring Widen(const std::string& utf8) {
    const int wide =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), wide);
    return out;
}

}  // namespace

InputStream::InputStream() : handle_(GetStdHandle(STD_INPUT_HANDLE)), owned_(false), open_(true) {}

InputStream::InputStream(const std::string& path)
    : handle_(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)),
      owned_(true),
      open_(handle_ != INVALID_HANDLE_VALUE) {
    if (!open_)
        error_ = DescribeSystemError(LastSystemError());
}

InputStream::~InputStream() {
    if (owned_ && open_)
        CloseHandle(handle_);
}

bool InputStream::IsTerminal() const {
    DWORD mode = 0;
    return open_ && GetConsoleMode(handle_, &mode) != 0;
}

bool InputStream::Read(std::string& piece) {
    piece.resize(kPieceSize);
    DWORD got = 0;
    if (!open_ || handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
        piece.clear();
        return false;
    }
    if (!ReadFile(handle_, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) {
        const DWORD error = GetLastError();
        piece.clear();
        // The writer of a pipe closing it is the end of the input, not an error.
        if (error != ERROR_BROKEN_PIPE && error != ERROR_HANDLE_EOF)
            error_ = DescribeSystemError(LastSystemError());
        return false;
    }
    piece.resize(got);
    ranDry_ = got < kPieceSize;
    return got != 0;
}

#else

InputStream::InputStream() : fd_(STDIN_FILENO), owned_(false), open_(true) {}

InputStream::InputStream(const std::string& path)
    : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)), owned_(true), open_(fd_ >= 0) {
    if (!open_)
        error_ = DescribeSystemError(LastSystemError());
}

InputStream::~InputStream() {
    if (owned_ && open_)
        close(fd_);
}

bool InputStream::IsTerminal() const {
    return open_ && isatty(fd_) != 0;
}

bool InputStream::Read(std::string& piece) {
    piece.resize(kPieceSize);
    while (open_) {
        const ssize_t got = read(fd_, piece.data(), piece.size());
        if (got > 0) {
            piece.resize(static_cast<std::size_t>(got));
            ranDry_ = piece.size() < kPieceSize;
            return true;
        }
        if (got == 0)
            break;
        if (errno != EINTR) {
            error_ = DescribeSystemError(LastSystemError());
            break;
        }
    }
    piece.clear();
    return false;
}

#endif

}  // namespace veltrun
