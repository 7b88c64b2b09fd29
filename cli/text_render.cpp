#include "cli/text_render.h"

namespace veltrun {

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

// Raw bytes as a sink sees them when no charset reads them: ASCII is text, the rest invalid.
void ReadRaw(std::string_view bytes, TextSink& sink) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (static_cast<unsigned char>(bytes[i]) < 0x80)
            continue;
        if (i > run)
            sink.Text(bytes.substr(run, i - run));
        sink.Invalid(static_cast<unsigned char>(bytes[i]));
        run = i + 1;
    }
    if (bytes.size() > run)
        sink.Text(bytes.substr(run));
}

Charset Read(std::string_view bytes, Charset charset, TextSink& sink) {
    const Charset used = ResolveCharset(bytes, charset);
    switch (used) {
        case Charset::Utf8:
            ReadUtf8(bytes, sink);
            break;
        case Charset::Gbk:
            ReadGb18030(bytes, sink);
            break;
        case Charset::Auto:
        case Charset::Raw:
            ReadRaw(bytes, sink);
            break;
    }
    return used;
}

}  // namespace

RenderedText RenderText(std::string_view bytes, Charset charset) {
    RenderedText rendered{{}, charset};
    rendered.text.reserve(bytes.size());
    if (charset == Charset::Raw) {
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            if (IsControl(byte))
                AppendHex(rendered.text, "\\x", byte);
            else
                rendered.text += c;
        }
        return rendered;
    }
    TerminalSink sink(rendered.text);
    rendered.charset = Read(bytes, charset, sink);
    return rendered;
}

RenderedText RenderPercentEncoded(std::string_view bytes, Charset charset) {
    RenderedText rendered{{}, charset};
    PercentSink sink(rendered.text);
    // Raw bytes reach the sink as ASCII text and invalid bytes, each of which it encodes.
    rendered.charset = Read(bytes, charset, sink);
    return rendered;
}

RenderedText RenderJsonString(std::string_view bytes, Charset charset) {
    RenderedText rendered{"\"", charset};
    JsonSink sink(rendered.text);
    rendered.charset = Read(bytes, charset, sink);
    rendered.text += '"';
    return rendered;
}

std::string JsonAscii(std::string_view ascii) {
    std::string out = "\"";
    JsonSink sink(out);
    sink.Text(ascii);
    out += '"';
    return out;
}

}  // namespace veltrun
