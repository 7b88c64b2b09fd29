#include "linkdecode/base64_decoder.h"

#include <cstdint>

#include "linkdecode/char_class.h"

namespace linkdecode {

const std::string kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

namespace {

// A byte not in the alphabet keeps the low 8 bits of the search's not-found value (0xFF);
// the leftover filler relies on that, and its value never reaches an appended byte.
std::uint8_t SymbolValue(std::uint8_t symbol) {
    return static_cast<std::uint8_t>(kBase64Alphabet.find(static_cast<char>(symbol)));
}

void DecodeQuantum(std::uint8_t (&slot)[4], std::uint8_t (&out)[3]) {
    for (std::uint8_t& s : slot)
        s = SymbolValue(s);
    out[0] = static_cast<std::uint8_t>((slot[0] << 2) + ((slot[1] & 0x30) >> 4));
    out[1] = static_cast<std::uint8_t>(((slot[1] & 0x0F) << 4) + ((slot[2] & 0x3C) >> 2));
    out[2] = static_cast<std::uint8_t>(((slot[2] & 0x03) << 6) + slot[3]);
}

}  // namespace

std::string DecodeBase64Text(const std::string& text) {
    std::string output;
    std::uint8_t slot[4] = {};
    std::uint8_t quantum[3] = {};
    std::size_t filled = 0;
    std::size_t position = 0;
    std::size_t remaining = text.size();

    while (remaining != 0) {
        --remaining;
        const auto byte = static_cast<unsigned char>(text[position]);
        if (byte == '=' || !IsBase64Symbol(byte))
            break;
        slot[filled++] = byte;
        ++position;
        if (filled == 4) {
            DecodeQuantum(slot, quantum);
            for (std::uint8_t b : quantum)
                output += static_cast<char>(b);
            filled = 0;
        }
    }

    if (filled == 0)
        return output;

    for (std::size_t i = filled; i < 4; ++i)
        slot[i] = 0;
    DecodeQuantum(slot, quantum);
    for (std::size_t i = 0; i + 1 < filled; ++i)
        output += static_cast<char>(quantum[i]);
    return output;
}

}  // namespace linkdecode
