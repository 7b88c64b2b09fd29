#pragma once

#include <string>
#include <string_view>

#include "cli/charset.h"

namespace veltrun {

// Text made from address bytes, with the charset that was actually used (never Auto).
struct RenderedText {
    std::string text;
    Charset charset;
};

// Renders `bytes` read in `charset` for a terminal or a file: UTF-8 text, except with Raw,
// which keeps the bytes as they are. Bytes that start no character, C0 controls, DEL and (in
// UTF-8 text) the C1 controls U+0080 to U+009F and the direction marks and overrides are
// written as \xNN, two upper-case hex digits per byte, so no address can drive a terminal or
// pass for another. Nothing is dropped.
RenderedText RenderText(std::string_view bytes, Charset charset);

// Renders `bytes` read in `charset` as plain ASCII: the text as RenderText reads it, with every
// byte of 0x80 or more, every control, DEL and the space written as %XX; a byte that starts no
// character is written as %XX of itself. With Raw the address bytes themselves are encoded.
RenderedText RenderPercentEncoded(std::string_view bytes, Charset charset);

// Returns a JSON string literal (with its quotes) for `bytes` read in `charset`: the result is
// well-formed UTF-8 and valid JSON for every input. Quotes, backslashes, every control
// character (C0, DEL, C1) and the direction marks and overrides are JSON escapes; a byte that
// starts no character (with Raw, every byte of 0x80 or more) is written as the six characters
// \\xNN, an escaped backslash and then xNN.
RenderedText RenderJsonString(std::string_view bytes, Charset charset);

// Returns `ascii` as a JSON string literal; it must hold ASCII text only.
std::string JsonAscii(std::string_view ascii);

}  // namespace veltrun
