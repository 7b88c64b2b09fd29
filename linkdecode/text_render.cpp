#include "linkdecode/text_render.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "linkdecode/simd/simd_level.h"

namespace linkdecode {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Each byte's two upper-case hex digits.
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = kHex[b >> 4];
        pairs[2 * b + 1] = kHex[b & 0x0F];
    }
    return pairs;
}();

// Appends, for each of `bytes`, `before` ("\\x", "%", at most four bytes) and the byte's two
// upper-case hex digits. Built on the stack a block at a time, with copies of a fixed size:
// growing `out` first would fill with zeros what is written over at once.
void AppendHexRun(std::string& out, std::string_view before, std::string_view bytes) {
    constexpr std::size_t kMostBefore = 4;
    constexpr std::size_t kBlock = 64;
    char lead[kMostBefore] = {};
    before.copy(lead, kMostBefore);
    // Each byte's copy of `lead` may write up to kMostBefore bytes, past its own place.
    char block[kBlock * (kMostBefore + 2) + kMostBefore];
    const std::size_t each = before.size() + 2;
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t count = std::min(kBlock, bytes.size() - done);
        char* at = block;
        for (std::size_t k = 0; k < count; ++k, at += each) {
            const auto byte = static_cast<unsigned char>(bytes[done + k]);
            std::memcpy(at, lead, kMostBefore);
            std::memcpy(at + before.size(), &kHexPairs[2 * byte], 2);
        }
        out.append(block, count * each);
        done += count;
    }
}

void AppendHex(std::string& out, std::string_view before, unsigned char byte) {
    const char one = static_cast<char>(byte);
    AppendHexRun(out, before, std::string_view(&one, 1));
}

constexpr bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

// Length of the invisible control whose UTF-8 starts at utf8[i], or 0: the C1 controls
// U+0080 to U+009F, which some terminals obey, and the direction marks and overrides
// (U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069), which can make an address read as
// another. Sets `codePoint` to the character.
std::size_t InvisibleControlLength(std::string_view utf8, std::size_t i, unsigned& codePoint) {
    const auto b = [&](std::size_t k) {
        return i + k < utf8.size() ? static_cast<unsigned char>(utf8[i + k]) : 0u;
    };
    if (b(0) == 0xC2 && b(1) >= 0x80 && b(1) < 0xA0) {
        codePoint = b(1);
        return 2;
    }
    if (b(0) != 0xE2 || (b(1) != 0x80 && b(1) != 0x81) || b(2) < 0x80 || b(2) > 0xBF)
        return 0;
    codePoint = 0x2000 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    const bool bidi = codePoint == 0x200E || codePoint == 0x200F ||
                      (codePoint >= 0x202A && codePoint <= 0x202E) ||
                      (codePoint >= 0x2066 && codePoint <= 0x2069);
    return bidi ? 3 : 0;
}

// The bytes that can start one of the characters InvisibleControlLength looks for.
constexpr unsigned char kC1Lead = 0xC2;
constexpr unsigned char kDirectionLead = 0xE2;

// The bytes a renderer copies as they are: the set the vector kernels search for, and the same
// set as a table by value (1 for plain, 0 for escaped) for the scalar loop.
struct PlainBytes {
    simd::EscapeSet escapes;
    std::array<unsigned char, 256> byValue;
};

constexpr bool Escaped(const simd::EscapeSet& escapes, unsigned char byte) {
    return IsControl(byte) || (escapes.high && byte >= 0x80) || byte == escapes.extra[0] ||
           byte == escapes.extra[1] || byte == escapes.extra[2] || byte == escapes.extra[3];
}

constexpr PlainBytes Plain(simd::EscapeSet escapes) {
    PlainBytes plain{escapes, {}};
    for (std::size_t b = 0; b < plain.byValue.size(); ++b)
        plain.byValue[b] = !Escaped(escapes, static_cast<unsigned char>(b));
    return plain;
}

// Zero, a control, fills the sets of fewer than four bytes.
constexpr PlainBytes kRawPlain = Plain({false, {0, 0, 0, 0}});
constexpr PlainBytes kTerminalPlain = Plain({false, {kC1Lead, kDirectionLead, 0, 0}});
constexpr PlainBytes kPercentPlain = Plain({true, {' ', 0, 0, 0}});
constexpr PlainBytes kJsonPlain = Plain({false, {'"', '\\', kC1Lead, kDirectionLead}});
// Raw bytes in JSON: ASCII as JSON text, every other byte as an invalid one.
constexpr PlainBytes kJsonRawPlain = Plain({true, {'"', '\\', 0, 0}});

// A kernel's call costs more than the table on fewer bytes.
constexpr std::size_t kKernelBytes = 16;

// Where the run of bytes that `rule` holds plain, from text[i] on, ends.
std::size_t PlainRunEnd(std::string_view text, std::size_t i, const PlainBytes& rule) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto& plain = rule.byValue;
    std::size_t end = i;
    // Not for an escape right away either.
    if (const auto find = simd::ActiveKernels().findEscape;
        find != nullptr && text.size() - i >= kKernelBytes && plain[p[i]])
        end += find(p + i, text.size() - i, rule.escapes);
    // Eight at a time while all are plain: one branch instead of eight.
    while (text.size() - end >= 8 &&
           (plain[p[end]] & plain[p[end + 1]] & plain[p[end + 2]] & plain[p[end + 3]] &
            plain[p[end + 4]] & plain[p[end + 5]] & plain[p[end + 6]] & plain[p[end + 7]]))
        end += 8;
    while (end < text.size() && plain[p[end]])
        ++end;
    return end;
}

// Appends `text` to `out`, copying whole each run of bytes that `rule` holds plain and handing
// every other byte's place to `escape`, which appends what stands for it and returns how many
// bytes it took (at least one).
template <typename Escape>
void AppendInRuns(std::string_view text, const PlainBytes& rule, Escape escape, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t end = PlainRunEnd(text, i, rule);
        out.append(text.data() + i, end - i);
        i = end < text.size() ? end + escape(text, end) : end;
    }
}

class TerminalSink : public TextSink {
public:
    explicit TerminalSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        AppendInRuns(
            utf8, kTerminalPlain,
            [&](std::string_view text, std::size_t i) -> std::size_t {
                const auto byte = static_cast<unsigned char>(text[i]);
                unsigned codePoint = 0;
                const std::size_t length =
                    IsControl(byte) ? 1 : InvisibleControlLength(text, i, codePoint);
                if (length == 0) {
                    out_ += text[i];
                    return 1;
                }
                for (std::size_t k = 0; k < length; ++k)
                    AppendHex(out_, "\\x", static_cast<unsigned char>(text[i + k]));
                return length;
            },
            out_);
    }
    void Invalid(unsigned char byte) override { AppendHex(out_, "\\x", byte); }
    void InvalidRun(std::string_view bytes) override { AppendHexRun(out_, "\\x", bytes); }

private:
    std::string& out_;
};

class PercentSink : public TextSink {
public:
    explicit PercentSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        AppendInRuns(
            utf8, kPercentPlain,
            [&](std::string_view text, std::size_t i) -> std::size_t {
                Invalid(static_cast<unsigned char>(text[i]));
                return 1;
            },
            out_);
    }
    void Invalid(unsigned char byte) override { AppendHex(out_, "%", byte); }
    void InvalidRun(std::string_view bytes) override { AppendHexRun(out_, "%", bytes); }

private:
    std::string& out_;
};

class JsonSink : public TextSink {
public:
    explicit JsonSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        AppendInRuns(
            utf8, kJsonPlain, [&](std::string_view text, std::size_t i) { return Escape(text, i); },
            out_);
    }
    void Invalid(unsigned char byte) override { AppendHex(out_, "\\\\x", byte); }
    void InvalidRun(std::string_view bytes) override { AppendHexRun(out_, "\\\\x", bytes); }

    // What ReadText with Raw hands this sink, ASCII runs as text and the other bytes as
    // invalid runs, in one pass over `bytes`.
    void RawBytes(std::string_view bytes) {
        AppendInRuns(
            bytes, kJsonRawPlain,
            [&](std::string_view text, std::size_t i) -> std::size_t {
                if (static_cast<unsigned char>(text[i]) < 0x80)
                    return Escape(text, i);
                std::size_t end = i + 1;
                while (end < text.size() && static_cast<unsigned char>(text[end]) >= 0x80)
                    ++end;
                InvalidRun(text.substr(i, end - i));
                return end - i;
            },
            out_);
    }

private:
    std::size_t Escape(std::string_view utf8, std::size_t i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        switch (byte) {
            case '"':
                out_ += "\\\"";
                return 1;
            case '\\':
                out_ += "\\\\";
                return 1;
            case '\n':
                out_ += "\\n";
                return 1;
            case '\r':
                out_ += "\\r";
                return 1;
            case '\t':
                out_ += "\\t";
                return 1;
            default:
                break;
        }
        if (IsControl(byte)) {
            AppendHex(out_, "\\u00", byte);
            return 1;
        }
        unsigned codePoint = 0;
        const std::size_t length = InvisibleControlLength(utf8, i, codePoint);
        if (length == 0) {
            out_ += utf8[i];
            return 1;
        }
        AppendHex(out_, "\\u", static_cast<unsigned char>(codePoint >> 8));
        AppendHex(out_, "", static_cast<unsigned char>(codePoint & 0xFF));
        return length;
    }

    std::string& out_;
};

}  // namespace

Charset RenderText(std::string_view bytes, Charset charset, GbConverter& gb, std::string& out) {
    if (charset != Charset::Raw) {
        TerminalSink sink(out);
        return ReadText(bytes, charset, gb, sink);
    }
    AppendInRuns(
        bytes, kRawPlain,
        [&](std::string_view text, std::size_t i) -> std::size_t {
            AppendHex(out, "\\x", static_cast<unsigned char>(text[i]));
            return 1;
        },
        out);
    return Charset::Raw;
}

Charset RenderPercentEncoded(std::string_view bytes, Charset charset, GbConverter& gb,
                             std::string& out) {
    PercentSink sink(out);
    // Raw bytes reach the sink as ASCII text and invalid bytes, each of which it encodes.
    return ReadText(bytes, charset, gb, sink);
}

Charset RenderJsonString(std::string_view bytes, Charset charset, GbConverter& gb,
                         std::string& out) {
    out += '"';
    JsonSink sink(out);
    Charset used = Charset::Raw;
    if (charset == Charset::Raw) {
        sink.RawBytes(bytes);
    } else if (charset != Charset::Gbk && PlainRunEnd(bytes, 0, kJsonRawPlain) == bytes.size()) {
        // ASCII that needs no escape, as most links are: UTF-8 read as it stands, in one search
        // instead of a check of the charset and a search for escapes.
        out.append(bytes);
        used = Charset::Utf8;
    } else {
        used = ReadText(bytes, charset, gb, sink);
    }
    out += '"';
    return used;
}

Charset RenderAddress(std::string_view bytes, AddressFormat format, GbConverter& gb,
                      std::string& out) {
    return format.percentEncode ? RenderPercentEncoded(bytes, format.charset, gb, out)
                                : RenderText(bytes, format.charset, gb, out);
}

void AppendJsonAscii(std::string_view ascii, std::string& out) {
    out += '"';
    JsonSink sink(out);
    sink.Text(ascii);
    out += '"';
}

bool HoldsHiddenControl(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned codePoint = 0;
        if (IsControl(static_cast<unsigned char>(bytes[i])) ||
            InvisibleControlLength(bytes, i, codePoint) != 0)
            return true;
    }
    return false;
}

std::string RenderExcerpt(std::string_view input, std::size_t maxBytes, std::string_view ellipsis,
                          GbConverter& gb) {
    // A byte read renders as half a byte at the least (four GB18030 bytes may be one two-byte
    // UTF-8 character), so this many bytes fill the excerpt whenever the input is longer.
    std::string_view start = input.substr(0, maxBytes * 4);
    // A UTF-8 character the cut splits would make the start invalid UTF-8, read as GBK.
    if (start.size() < input.size()) {
        std::size_t lead = start.size();
        while (lead > 0 && start.size() - lead < 3 &&
               (static_cast<unsigned char>(input[lead]) & 0xC0) == 0x80)
            --lead;
        if (lead + Utf8SequenceLength(input, lead) > start.size())
            start = start.substr(0, lead);
    }
    std::string text;
    RenderText(start, Charset::Auto, gb, text);
    if (text.size() <= maxBytes && start.size() == input.size())
        return text;
    std::size_t cut = std::min(text.size(), maxBytes);
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    text.append(ellipsis);
    return text;
}

}  // namespace linkdecode
