#include "linkdecode/base64_encoder.h"

#include "linkdecode/base64_decoder.h"

namespace linkdecode {

std::string EncodeBase64Text(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    const auto at = [&](std::size_t i) -> unsigned {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
    };
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned group = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        const std::size_t carried = bytes.size() - i < 3 ? bytes.size() - i : 3;
        for (std::size_t s = 0; s < 4; ++s) {
            out += s <= carried ? kBase64Alphabet[(group >> (18 - 6 * s)) & 0x3F] : '=';
        }
    }
    return out;
}

}  // namespace linkdecode
