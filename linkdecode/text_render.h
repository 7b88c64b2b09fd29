#pragma once

#include <string>
#include <string_view>

#include "linkdecode/charset.h"

namespace linkdecode {

// Each function here reads address bytes in a charset (GB18030 through `gb`), appends the text
// it makes to `out` and returns the charset actually used, never Auto. Nothing is dropped.

// For a terminal or a file: UTF-8 text, except with Raw, which keeps the bytes as they are.
// Bytes that start no character, C0 controls, DEL and (in UTF-8 text) the C1 controls U+0080
// to U+009F and the direction marks and overrides are written as \xNN, two upper-case hex
// digits per byte, so no address can drive a terminal or pass for another.
Charset RenderText(std::string_view bytes, Charset charset, GbConverter& gb, std::string& out);

// Plain ASCII: the text as RenderText reads it, with every byte of 0x80 or more, every control,
// DEL and the space written as %XX; a byte that starts no character is written as %XX of itself.
// With Raw the address bytes themselves are encoded.
Charset RenderPercentEncoded(std::string_view bytes, Charset charset, GbConverter& gb,
                             std::string& out);

// A JSON string literal with its quotes, well-formed UTF-8 and valid JSON for every input.
// Quotes, backslashes, every control character (C0, DEL, C1) and the direction marks and
// overrides are JSON escapes; a byte that starts no character (with Raw, every byte of 0x80 or
// more) is written as the five characters \\xNN, an escaped backslash and then xNN.
Charset RenderJsonString(std::string_view bytes, Charset charset, GbConverter& gb,
                         std::string& out);

// How a front end shows addresses: read in `charset`, then as text or percent-encoded.
struct AddressFormat {
    Charset charset = Charset::Auto;
    bool percentEncode = false;
};

// RenderPercentEncoded when `format` asks for it, RenderText otherwise.
Charset RenderAddress(std::string_view bytes, AddressFormat format, GbConverter& gb,
                      std::string& out);

// Whether `bytes` hold a character the renderers escape as invisible: a C0 control, DEL, or
// (as UTF-8) a C1 control or a direction mark or override.
bool HoldsHiddenControl(std::string_view bytes);

// The start of `input` as a message or a row shows it: read as Auto and rendered by RenderText,
// cut at a character boundary to at most `maxBytes`, with `ellipsis` after it when cut.
std::string RenderExcerpt(std::string_view input, std::size_t maxBytes, std::string_view ellipsis,
                          GbConverter& gb);

// Appends `ascii`, which must hold ASCII text only, as a JSON string literal.
void AppendJsonAscii(std::string_view ascii, std::string& out);

}  // namespace linkdecode
