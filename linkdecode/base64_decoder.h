#pragma once

#include <string>
#include <string_view>

namespace linkdecode {

// The 64 symbols of the standard Base64 alphabet (RFC 4648, section 4) in value order.
// A symbol's value is the index of its first occurrence here.
inline constexpr std::string_view kBase64Symbols =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The same symbols as a string, searched by the dialog's decoder.
extern const std::string kBase64Alphabet;

// Decodes the leading run of Base64 symbols of `text` and returns the bytes it carries.
//
// The scan ends for good at the first "=" or at the first byte that is not one of the 64
// symbols (spaces, line breaks and every byte >= 0x80 included); nothing after it is read,
// even valid Base64. Padding is therefore never required. A trailing group of 2 or 3 symbols
// gives 1 or 2 bytes; a lone trailing symbol gives nothing.
//
// Never fails and never throws beyond std::bad_alloc: an empty result is a valid answer. The
// result may contain zero bytes; what to do with them is the caller's decision.
std::string DecodeBase64Text(const std::string& text);

}  // namespace linkdecode
