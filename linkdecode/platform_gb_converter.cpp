#include "linkdecode/platform_gb_converter.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace linkdecode {

#ifdef _WIN32

namespace {

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

class WindowsGbConverter : public GbConverter {
public:
    bool ToUtf8(std::string_view gb, std::string& utf8) override {
        return ConvertCodePage(gb, GbCodePage(), CP_UTF8, utf8);
    }
    bool FromUtf8(std::string_view utf8, std::string& gb) override {
        return ConvertCodePage(utf8, CP_UTF8, GbCodePage(), gb);
    }
};

}  // namespace

GbConverter& PlatformGbConverter() {
    static WindowsGbConverter converter;
    return converter;
}

#else

namespace {

// An iconv conversion descriptor, closed with its owner.
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

class IconvGbConverter : public GbConverter {
public:
    bool ToUtf8(std::string_view gb, std::string& utf8) override {
        return toUtf8_.Convert(gb, utf8);
    }
    bool FromUtf8(std::string_view utf8, std::string& gb) override {
        return fromUtf8_.Convert(utf8, gb);
    }

private:
    IconvHandle toUtf8_{"UTF-8", "GB18030"};
    IconvHandle fromUtf8_{"GB18030", "UTF-8"};
};

}  // namespace

GbConverter& PlatformGbConverter() {
    static IconvGbConverter converter;
    return converter;
}

#endif

}  // namespace linkdecode
