#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linkdecode {

// How address bytes are read as text. Auto picks Utf8 for well-formed UTF-8 and Gbk otherwise;
// Gbk reads GB18030, the superset of GBK and GB2312; Raw does not read them as text at all.
enum class Charset { Auto, Gbk, Utf8, Raw };

// The option value and JSON name of a charset: "auto", "gbk", "utf8", "raw".
const char* CharsetName(Charset charset);

// The charset whose CharsetName is `name`, into `charset`; false, leaving it, for any other text.
[[nodiscard]] bool CharsetFromName(std::string_view name, Charset& charset);

// The GB18030 conversions, which the portable core leaves to the platform: a table of every
// character would outweigh the rest of the core, and every platform already has one (iconv,
// Windows code page 54936, a browser's TextDecoder). Each front end supplies one.
class GbConverter {
public:
    virtual ~GbConverter() = default;

    // Converts `gb`, a run of well-shaped GB18030 characters, to UTF-8 into `utf8`. Returns
    // false, leaving `utf8` unspecified, when some character has no conversion.
    virtual bool ToUtf8(std::string_view gb, std::string& utf8) = 0;

    // Converts well-formed UTF-8 to GB18030 into `gb`. Returns false, leaving `gb`
    // unspecified, when some character has no GB18030 code.
    virtual bool FromUtf8(std::string_view utf8, std::string& gb) = 0;
};

// Receives a text read from bytes: runs of well-formed UTF-8, and the bytes that start no
// character in the charset read, one at a time, in text order. Nothing is dropped.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void Text(std::string_view utf8) = 0;
    virtual void Invalid(unsigned char byte) = 0;

    // Several such bytes in a row, as Invalid would take them one by one.
    virtual void InvalidRun(std::string_view bytes) {
        for (const char byte : bytes)
            Invalid(static_cast<unsigned char>(byte));
    }
};

// Length of the well-formed UTF-8 sequence that starts at bytes[at] (1 to 4), or 0 when none
// does: overlong forms, surrogates and code points above U+10FFFF are not well-formed.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at);

// Length of the GB18030 character that starts at bytes[at] by its shape alone (1, 2 or 4), or
// 0 when no character starts there.
std::size_t GbSequenceLength(std::string_view bytes, std::size_t at);

// Whether all of `bytes` is well-formed UTF-8 (the empty text is).
bool IsValidUtf8(std::string_view bytes);

// Whether all of `bytes` is GB18030 characters by their shape (GbSequenceLength), whether or
// not the platform could convert each of them.
bool IsWellShapedGb18030(std::string_view bytes);

// Returns Utf8 or Gbk for Auto, as described above, and `requested` otherwise.
Charset ResolveCharset(std::string_view bytes, Charset requested);

// Whether well-formed UTF-8 `bytes` read as UTF-8 hold no Chinese character while read as GBK
// every character beyond ASCII is one: how a GBK name that happens to be valid UTF-8 looks
// ("\xC3\xA9", 茅 in GBK, é in UTF-8).
bool IsChineseOnlyAsGbk(std::string_view bytes);

// Reads `bytes` into `sink` in `charset` and returns the charset used (never Auto): Utf8 passes
// each well-formed sequence as text and every other byte as invalid; Gbk converts GB18030 to
// UTF-8 with `gb`, passing as invalid a byte that starts no one-, two- or four-byte character or
// whose character `gb` cannot convert, and going on at the next byte; Raw passes ASCII as text
// and every byte of 0x80 or more as invalid.
Charset ReadText(std::string_view bytes, Charset charset, GbConverter& gb, TextSink& sink);

}  // namespace linkdecode
