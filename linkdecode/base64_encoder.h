#pragma once

#include <string>
#include <string_view>

namespace linkdecode {

// Returns the standard Base64 (RFC 4648, section 4) of `bytes`, padded with "=" to a whole
// number of four-symbol groups. Any byte value is accepted, zero bytes included; an empty input
// gives an empty result. DecodeBase64Text reads the result back to `bytes` exactly.
std::string EncodeBase64Text(std::string_view bytes);

// Appends EncodeBase64Text(bytes) to `out`.
void AppendBase64Text(std::string_view bytes, std::string& out);

}  // namespace linkdecode
