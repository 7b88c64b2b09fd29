#include "linkdecode/base64_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "linkdecode/base64_decoder.h"

namespace linkdecode {
namespace {

#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

struct EncodeCase {
    const char* name;
    std::string bytes;
    std::string base64;
};

// RFC 4648, section 10, and the byte values at the edges of the alphabet.
const EncodeCase kEncodeCases[] = {
    {"Empty", "", ""},
    {"OneByte", "f", "Zg=="},
    {"TwoBytes", "fo", "Zm8="},
    {"ThreeBytes", "foo", "Zm9v"},
    {"FourBytes", "foob", "Zm9vYg=="},
    {"FiveBytes", "fooba", "Zm9vYmE="},
    {"SixBytes", "foobar", "Zm9vYmFy"},
    {"ZeroBytes", BYTES("\0\0\0"), "AAAA"},
    {"HighBytes", "\xff\xff\xff", "////"},
    {"PlusAndSlash", "\xfb\xef\xbe\xff", "++++/w=="},
    {"GbkName", "\xb5\xe7\xd3\xb0", "tefTsA=="},
};

TEST(EncodeBase64Text, MatchesKnownVectors) {
    for (const EncodeCase& c : kEncodeCases)
        EXPECT_EQ(EncodeBase64Text(c.bytes), c.base64) << c.name;
}

TEST(EncodeBase64Text, DecoderReadsEveryLengthBack) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length = 0; length < 200; ++length) {
        std::string bytes;
        for (std::size_t i = 0; i < length; ++i)
            bytes += static_cast<char>(byte(random));
        const std::string encoded = EncodeBase64Text(bytes);
        EXPECT_EQ(encoded.size() % 4, 0u) << length;
        EXPECT_EQ(DecodeBase64Text(encoded), bytes) << length;
    }
}

}  // namespace
}  // namespace linkdecode
