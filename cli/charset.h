#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veltrun {

// How address bytes are read as text. Auto picks Utf8 for well-formed UTF-8 and Gbk otherwise;
// Gbk reads GB18030, the superset of GBK and GB2312; Raw does not read them as text at all.
enum class Charset { Auto, Gbk, Utf8, Raw };

// The option value and JSON name of a charset: "auto", "gbk", "utf8", "raw".
const char* CharsetName(Charset charset);

// Receives a text read from bytes: runs of well-formed UTF-8, and the bytes that start no
// character in the charset read, one at a time, in text order. Nothing is dropped.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void Text(std::string_view utf8) = 0;
    virtual void Invalid(unsigned char byte) = 0;
};

// Length of the well-formed UTF-8 sequence that starts at bytes[at] (1 to 4), or 0 when none
// does: overlong forms, surrogates and code points above U+10FFFF are not well-formed.
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at);

// Whether all of `bytes` is well-formed UTF-8 (the empty text is).
bool IsValidUtf8(std::string_view bytes);

// Returns Utf8 or Gbk for Auto, as described above, and `requested` otherwise.
Charset ResolveCharset(std::string_view bytes, Charset requested);

// Reads `bytes` as UTF-8 into `sink`: each well-formed sequence as text, every other byte as
// invalid.
void ReadUtf8(std::string_view bytes, TextSink& sink);

// Reads `bytes` as GB18030 into `sink`, converted to UTF-8. A byte that starts no one-, two-
// or four-byte character, or whose character the platform cannot convert, is passed as
// invalid and reading goes on at the next byte.
void ReadGb18030(std::string_view bytes, TextSink& sink);

// Converts well-formed UTF-8 to GB18030 into `gb`. Returns false, leaving `gb` unspecified,
// when `utf8` is not well-formed or the platform cannot convert it.
bool ConvertUtf8ToGb18030(std::string_view utf8, std::string& gb);

}  // namespace veltrun
