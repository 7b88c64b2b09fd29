#include "linkdecode/base64_encoder.h"

#include "linkdecode/base64_decoder.h"

namespace linkdecode {

void AppendBase64Text(std::string_view bytes, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    char* symbol = out.data() + start;
    // The four symbols of a group of 24 bits, of which the first `carried` + 1 carry bits.
    const auto put = [&](unsigned group, std::size_t carried) {
        for (std::size_t s = 0; s < 4; ++s)
            *symbol++ = s <= carried ? kBase64Symbols[(group >> (18 - 6 * s)) & 0x3F] : '=';
    };
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    for (; bytes.size() - i >= 3; i += 3)
        put(static_cast<unsigned>(p[i] << 16 | p[i + 1] << 8 | p[i + 2]), 3);
    if (const std::size_t carried = bytes.size() - i)
        put(static_cast<unsigned>(p[i] << 16 | (carried > 1 ? p[i + 1] << 8 : 0)), carried);
}

std::string EncodeBase64Text(std::string_view bytes) {
    std::string out;
    AppendBase64Text(bytes, out);
    return out;
}

}  // namespace linkdecode
