#include "linkdecode/base64_encoder.h"

#include <array>
#include <cstring>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/simd/simd_level.h"

namespace linkdecode {

namespace {

// The two symbols of each 12-bit value, so that a group of 24 bits takes two lookups.
constexpr std::array<char, 2 * 4096> kSymbolPairs = [] {
    std::array<char, 2 * 4096> pairs{};
    for (std::size_t value = 0; value < 4096; ++value) {
        pairs[2 * value] = kBase64Symbols[value >> 6];
        pairs[2 * value + 1] = kBase64Symbols[value & 0x3F];
    }
    return pairs;
}();

}  // namespace

void AppendBase64Text(std::string_view bytes, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    char* symbol = out.data() + start;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t whole = bytes.size() / 3 * 3;
    std::size_t i = 0;
    if (const auto encode = simd::ActiveKernels().encodeGroups) {
        i = encode(p, whole, reinterpret_cast<unsigned char*>(symbol));
        symbol += i / 3 * 4;
    }
    for (; i < whole; i += 3, symbol += 4) {
        const unsigned group = static_cast<unsigned>(p[i] << 16 | p[i + 1] << 8 | p[i + 2]);
        std::memcpy(symbol, &kSymbolPairs[2 * (group >> 12)], 2);
        std::memcpy(symbol + 2, &kSymbolPairs[2 * (group & 0xFFF)], 2);
    }
    // One or two bytes left: two or three symbols, and "=" for the rest of the group.
    if (const std::size_t left = bytes.size() - whole) {
        const unsigned group =
            static_cast<unsigned>(p[whole] << 16 | (left > 1 ? p[whole + 1] << 8 : 0));
        for (std::size_t s = 0; s < 4; ++s)
            symbol[s] = s <= left ? kBase64Symbols[(group >> (18 - 6 * s)) & 0x3F] : '=';
    }
}

std::string EncodeBase64Text(std::string_view bytes) {
    std::string out;
    AppendBase64Text(bytes, out);
    return out;
}

}  // namespace linkdecode
