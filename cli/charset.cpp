#include "cli/charset.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace veltrun {

namespace {

bool InRange(unsigned char byte, unsigned low, unsigned high) {
    return byte >= low && byte <= high;
}

// Length of the GB18030 character at bytes[at] by its shape alone (1, 2 or 4), or 0.
std::size_t GbSequenceLength(std::string_view bytes, std::size_t at) {
    const auto b = [&](std::size_t i) {
        return at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0;
    };
    if (b(0) < 0x80)
        return 1;
    if (!InRange(b(0), 0x81, 0xFE))
        return 0;
    if (InRange(b(1), 0x40, 0x7E) || InRange(b(1), 0x80, 0xFE))
        return 2;
    if (InRange(b(1), 0x30, 0x39) && InRange(b(2), 0x81, 0xFE) && InRange(b(3), 0x30, 0x39))
        return 4;
    return 0;
}

#ifdef _WIN32

// 54936 is GB18030; a system without it still has 936 (GBK), which reads every two-byte code.
UINT GbCodePage() {
    static const UINT codePage = IsValidCodePage(54936) ? 54936 : 936;
    return codePage;
}

bool ConvertCodePage(std::string_view in, UINT from, UINT to, std::string& out) {
    if (in.empty()) {
        out.clear();
        return true;
    }
    const int inLength = static_cast<int>(in.size());
    const int wide =
        MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), inLength, nullptr, 0);
    if (wide <= 0)
        return false;
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), inLength, utf16.data(), wide);
    // The no-best-fit flag is refused by UTF-8 and code page 54936, which map everything.
    const DWORD flags = to == 936 ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL lossy = FALSE;
    BOOL* lossyOut = to == 936 ? &lossy : nullptr;
    const int narrow =
        WideCharToMultiByte(to, flags, utf16.data(), wide, nullptr, 0, nullptr, lossyOut);
    if (narrow <= 0 || lossy)
        return false;
    out.assign(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(to, flags, utf16.data(), wide, out.data(), narrow, nullptr, nullptr);
    return true;
}

bool ConvertGbToUtf8(std::string_view gb, std::string& utf8) {
    return ConvertCodePage(gb, GbCodePage(), CP_UTF8, utf8);
}

bool ConvertUtf8ToGb(std::string_view utf8, std::string& gb) {
    return ConvertCodePage(utf8, CP_UTF8, GbCodePage(), gb);
}

#else

// One conversion descriptor per direction, opened on first use and closed at exit.
class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid())
            iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    bool Convert(std::string_view in, std::string& out) {
        out.clear();
        if (!valid())
            return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[4096];
        while (true) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = srcLeft != 0 ? iconv(cd_, &src, &srcLeft, &dst, &dstLeft)
                                                : iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc != static_cast<std::size_t>(-1)) {
                if (srcLeft == 0 && dst == buffer)
                    return true;
                continue;
            }
            if (errno != E2BIG)
                return false;
        }
    }

private:
    iconv_t cd_;
};

bool ConvertGbToUtf8(std::string_view gb, std::string& utf8) {
    static IconvHandle handle("UTF-8", "GB18030");
    return handle.Convert(gb, utf8);
}

bool ConvertUtf8ToGb(std::string_view utf8, std::string& gb) {
    static IconvHandle handle("GB18030", "UTF-8");
    return handle.Convert(utf8, gb);
}

#endif

}  // namespace

const char* CharsetName(Charset charset) {
    switch (charset) {
        case Charset::Auto:
            return "auto";
        case Charset::Gbk:
            return "gbk";
        case Charset::Utf8:
            return "utf8";
        case Charset::Raw:
            return "raw";
    }
    return "raw";
}

std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
    const auto b = [&](std::size_t i) {
        return at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0;
    };
    const auto tail = [&](std::size_t i) { return InRange(b(i), 0x80, 0xBF); };
    const unsigned char lead = b(0);
    if (at >= bytes.size())
        return 0;
    if (lead < 0x80)
        return 1;
    if (InRange(lead, 0xC2, 0xDF))
        return tail(1) ? 2 : 0;
    if (InRange(lead, 0xE0, 0xEF)) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;
        return InRange(b(1), low, high) && tail(2) ? 3 : 0;
    }
    if (InRange(lead, 0xF0, 0xF4)) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
        return InRange(b(1), low, high) && tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

bool IsValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

Charset ResolveCharset(std::string_view bytes, Charset requested) {
    if (requested != Charset::Auto)
        return requested;
    return IsValidUtf8(bytes) ? Charset::Utf8 : Charset::Gbk;
}

void ReadUtf8(std::string_view bytes, TextSink& sink) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        if (length != 0) {
            i += length;
            continue;
        }
        if (i > run)
            sink.Text(bytes.substr(run, i - run));
        sink.Invalid(static_cast<unsigned char>(bytes[i]));
        run = ++i;
    }
    if (bytes.size() > run)
        sink.Text(bytes.substr(run));
}

void ReadGb18030(std::string_view bytes, TextSink& sink) {
    std::string utf8;
    // Converts a run of well-shaped characters, one character at a time if the run fails.
    const auto convert = [&](std::string_view run) {
        if (ConvertGbToUtf8(run, utf8)) {
            sink.Text(utf8);
            return;
        }
        for (std::size_t i = 0; i < run.size();) {
            const std::size_t length = GbSequenceLength(run, i);
            if (length != 0 && ConvertGbToUtf8(run.substr(i, length), utf8)) {
                sink.Text(utf8);
                i += length;
            } else {
                sink.Invalid(static_cast<unsigned char>(run[i]));
                ++i;
            }
        }
    };
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = GbSequenceLength(bytes, i);
        if (length != 0) {
            i += length;
            continue;
        }
        if (i > run)
            convert(bytes.substr(run, i - run));
        sink.Invalid(static_cast<unsigned char>(bytes[i]));
        run = ++i;
    }
    if (bytes.size() > run)
        convert(bytes.substr(run));
}

bool ConvertUtf8ToGb18030(std::string_view utf8, std::string& gb) {
    return IsValidUtf8(utf8) && ConvertUtf8ToGb(utf8, gb);
}

}  // namespace veltrun
