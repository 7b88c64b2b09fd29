#pragma once

#include <string>

namespace linkdecode::testing {

// A plain RFC 4648 encoder written apart from the decoder under test, so the two cannot
// share a mistake.
inline std::string EncodeBase64(const std::string& bytes, bool pad = true) {
    static const char kSymbols[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += kSymbols[(v >> shift) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest != 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2)
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kSymbols[(v >> 18) & 63];
        out += kSymbols[(v >> 12) & 63];
        if (rest == 2)
            out += kSymbols[(v >> 6) & 63];
        if (pad)
            out.append(3 - rest, '=');
    }
    return out;
}

}  // namespace linkdecode::testing
