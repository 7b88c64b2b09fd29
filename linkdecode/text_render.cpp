#include "linkdecode/text_render.h"

#include <algorithm>

namespace linkdecode {

namespace {

const char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, const char* before, unsigned char byte) {
    out += before;
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool IsControl(unsigned char byte) {
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

class TerminalSink : public TextSink {
public:
    explicit TerminalSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto byte = static_cast<unsigned char>(utf8[i]);
            unsigned codePoint = 0;
            if (IsControl(byte)) {
                AppendHex(out_, "\\x", byte);
            } else if (const std::size_t length = InvisibleControlLength(utf8, i, codePoint)) {
                for (std::size_t k = 0; k < length; ++k)
                    AppendHex(out_, "\\x", static_cast<unsigned char>(utf8[i + k]));
                i += length - 1;
            } else {
                out_ += utf8[i];
            }
        }
    }
    void Invalid(unsigned char byte) override { AppendHex(out_, "\\x", byte); }

private:
    std::string& out_;
};

class PercentSink : public TextSink {
public:
    explicit PercentSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        for (char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x80 || IsControl(byte) || byte == ' ')
                AppendHex(out_, "%", byte);
            else
                out_ += c;
        }
    }
    void Invalid(unsigned char byte) override { AppendHex(out_, "%", byte); }

private:
    std::string& out_;
};

class JsonSink : public TextSink {
public:
    explicit JsonSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto byte = static_cast<unsigned char>(utf8[i]);
            switch (byte) {
                case '"':
                    out_ += "\\\"";
                    break;
                case '\\':
                    out_ += "\\\\";
                    break;
                case '\n':
                    out_ += "\\n";
                    break;
                case '\r':
                    out_ += "\\r";
                    break;
                case '\t':
                    out_ += "\\t";
                    break;
                default:
                    unsigned codePoint = 0;
                    if (IsControl(byte)) {
                        AppendHex(out_, "\\u00", byte);
                    } else if (const std::size_t length =
                                   InvisibleControlLength(utf8, i, codePoint)) {
                        AppendHex(out_, "\\u", static_cast<unsigned char>(codePoint >> 8));
                        AppendHex(out_, "", static_cast<unsigned char>(codePoint & 0xFF));
                        i += length - 1;
                    } else {
                        out_ += utf8[i];
                    }
            }
        }
    }
    void Invalid(unsigned char byte) override { AppendHex(out_, "\\\\x", byte); }

private:
    std::string& out_;
};

}  // namespace

Charset RenderText(std::string_view bytes, Charset charset, GbConverter& gb, std::string& out) {
    if (charset != Charset::Raw) {
        TerminalSink sink(out);
        return ReadText(bytes, charset, gb, sink);
    }
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControl(byte))
            AppendHex(out, "\\x", byte);
        else
            out += c;
    }
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
    const Charset used = ReadText(bytes, charset, gb, sink);
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
    // Four rendered bytes at most for each byte read: "\xNN".
    std::string text;
    RenderText(input.substr(0, maxBytes * 4), Charset::Auto, gb, text);
    if (text.size() <= maxBytes && input.size() <= maxBytes * 4)
        return text;
    std::size_t cut = std::min(text.size(), maxBytes);
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    text.append(ellipsis);
    return text;
}

}  // namespace linkdecode
