#include "linkdecode/charset.h"

#include <cstdint>
#include <cstring>

namespace linkdecode {

namespace {

bool InRange(unsigned char byte, unsigned low, unsigned high) {
    return byte >= low && byte <= high;
}

// The end of the run of ASCII bytes that starts at bytes[at], found eight bytes at a time.
std::size_t AsciiRunEnd(std::string_view bytes, std::size_t at) {
    for (std::uint64_t word = 0; bytes.size() - at >= sizeof word; at += sizeof word) {
        std::memcpy(&word, bytes.data() + at, sizeof word);
        if ((word & 0x8080808080808080u) != 0)
            break;
    }
    while (at < bytes.size() && static_cast<unsigned char>(bytes[at]) < 0x80)
        ++at;
    return at;
}

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
            break;
    }
    return "raw";
}

bool CharsetFromName(std::string_view name, Charset& charset) {
    for (const Charset c : {Charset::Auto, Charset::Gbk, Charset::Utf8, Charset::Raw}) {
        if (name == CharsetName(c)) {
            charset = c;
            return true;
        }
    }
    return false;
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

std::size_t GbSequenceLength(std::string_view bytes, std::size_t at) {
    const auto b = [&](std::size_t i) {
        return at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0;
    };
    if (at >= bytes.size())
        return 0;
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

namespace {

// Whether every byte of `bytes` belongs to a character whose length `length` gives. An ASCII
// byte is a character of its own in every charset read here, so it is not asked about.
bool AllCharacters(std::string_view bytes, std::size_t (*length)(std::string_view, std::size_t)) {
    for (std::size_t i = AsciiRunEnd(bytes, 0); i < bytes.size(); i = AsciiRunEnd(bytes, i)) {
        const std::size_t n = length(bytes, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    return AllCharacters(bytes, Utf8SequenceLength);
}

bool IsWellShapedGb18030(std::string_view bytes) {
    return AllCharacters(bytes, GbSequenceLength);
}

namespace {

// GBK's two-byte Chinese characters: GB2312's two levels, and GBK's third and fourth areas.
bool IsGbkHanzi(unsigned char lead, unsigned char trail) {
    if (InRange(lead, 0xB0, 0xF7) && InRange(trail, 0xA1, 0xFE))
        return !(lead == 0xD7 && trail >= 0xFA);
    if (trail == 0x7F)
        return false;
    return (InRange(lead, 0x81, 0xA0) && InRange(trail, 0x40, 0xFE)) ||
           (InRange(lead, 0xAA, 0xFE) && InRange(trail, 0x40, 0xA0));
}

}  // namespace

bool IsChineseOnlyAsGbk(std::string_view bytes) {
    bool chinese = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(bytes, i);
        // Three and four bytes are where UTF-8 keeps Chinese, and GBK's pairs never read so.
        if (length == 0 || length > 2)
            return false;
        if (length == 2) {
            if (!IsGbkHanzi(static_cast<unsigned char>(bytes[i]),
                            static_cast<unsigned char>(bytes[i + 1])))
                return false;
            chinese = true;
        }
        i += length;
    }
    return chinese;
}

Charset ResolveCharset(std::string_view bytes, Charset requested) {
    if (requested != Charset::Auto)
        return requested;
    return IsValidUtf8(bytes) ? Charset::Utf8 : Charset::Gbk;
}

namespace {

// Passes `bytes` to `sink` as runs of the characters whose lengths `length` gives, each run to
// `text`, and the bytes that start no character, each row of them at once, in text order. ASCII
// bytes are skipped as AllCharacters skips them.
template <typename Length, typename Text>
void SplitCharacters(std::string_view bytes, Length length, Text text, TextSink& sink) {
    std::size_t run = 0;
    for (std::size_t i = AsciiRunEnd(bytes, 0); i < bytes.size(); i = AsciiRunEnd(bytes, i)) {
        if (const std::size_t n = length(bytes, i)) {
            i += n;
            continue;
        }
        if (i > run)
            text(bytes.substr(run, i - run));
        std::size_t end = i + 1;
        while (end < bytes.size() && static_cast<unsigned char>(bytes[end]) >= 0x80 &&
               length(bytes, end) == 0)
            ++end;
        sink.InvalidRun(bytes.substr(i, end - i));
        i = run = end;
    }
    if (bytes.size() > run)
        text(bytes.substr(run));
}

std::size_t AsciiLength(std::string_view bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) < 0x80 ? 1 : 0;
}

}  // namespace

Charset ReadText(std::string_view bytes, Charset charset, GbConverter& gb, TextSink& sink) {
    const auto pass = [&](std::string_view run) { sink.Text(run); };
    const Charset used = ResolveCharset(bytes, charset);
    if (used == Charset::Utf8 && charset == Charset::Auto) {
        // Auto reads as UTF-8 only what is well-formed: one run, checked once.
        if (!bytes.empty())
            sink.Text(bytes);
    } else if (used == Charset::Utf8) {
        SplitCharacters(bytes, Utf8SequenceLength, pass, sink);
    } else if (used == Charset::Gbk) {
        std::string utf8;
        // A run that fails as a whole is converted one character at a time.
        const auto convert = [&](std::string_view run) {
            if (gb.ToUtf8(run, utf8)) {
                sink.Text(utf8);
                return;
            }
            for (std::size_t i = 0; i < run.size();) {
                const std::size_t length = GbSequenceLength(run, i);
                if (length != 0 && gb.ToUtf8(run.substr(i, length), utf8)) {
                    sink.Text(utf8);
                    i += length;
                } else {
                    sink.Invalid(static_cast<unsigned char>(run[i]));
                    ++i;
                }
            }
        };
        SplitCharacters(bytes, GbSequenceLength, convert, sink);
    } else {
        SplitCharacters(bytes, AsciiLength, pass, sink);
    }
    return used;
}

}  // namespace linkdecode
