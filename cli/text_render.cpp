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

// "\xC2\x80" to "\xC2\x9F" are the UTF-8 forms of the C1 controls U+0080 to U+009F.
bool IsC1At(std::string_view utf8, std::size_t i) {
    return static_cast<unsigned char>(utf8[i]) == 0xC2 && i + 1 < utf8.size() &&
           static_cast<unsigned char>(utf8[i + 1]) < 0xA0;
}

class TerminalSink : public TextSink {
public:
    explicit TerminalSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override {
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto byte = static_cast<unsigned char>(utf8[i]);
            if (IsControl(byte)) {
                AppendHex(out_, "\\x", byte);
            } else if (IsC1At(utf8, i)) {
                AppendHex(out_, "\\x", byte);
                AppendHex(out_, "\\x", static_cast<unsigned char>(utf8[++i]));
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
                    if (IsControl(byte)) {
                        AppendHex(out_, "\\u00", byte);
                    } else if (IsC1At(utf8, i)) {
                        AppendHex(out_, "\\u00", static_cast<unsigned char>(utf8[++i]));
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
