#include "linkdecode/base64_decoder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <tuple>

#include "decode_paths.h"

namespace linkdecode {
namespace {

struct DecodeCase {
    const char* name;
    std::string input;
    std::string expected;
};

// std::string(literal, size) keeps embedded zero bytes.
#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

const DecodeCase kDecodeCases[] = {
    {"Empty", "", ""},
    {"LeadingEquals", "=YWJj", ""},
    {"LeadingSpace", " YWJj", ""},
    {"FullQuantum", "YWJj", "abc"},
    {"TwoQuanta", "YWJjZGVm", "abcdef"},
    {"ThreeLeftoverGiveTwo", "YWI", "ab"},
    {"TwoLeftoverGiveOne", "YQ", "a"},
    {"OneLeftoverGivesNothing", "Y", ""},
    {"OneLeftoverAfterQuantum", "YWJjY", "abc"},
    {"PaddedOne", "YQ==", "a"},
    {"PaddedTwo", "YWI=", "ab"},
    {"SpaceEndsScan", "YWJj YWJj", "abc"},
    {"TabEndsScan", "YWJj\tYWJj", "abc"},
    {"EqualsMidQuantumEndsScan", "YW=Jj", "a"},
    {"EqualsThenValidBase64", "YWJj=YWJj", "abc"},
    {"CrLfEndsScan", "YWJj\r\nYWJj", "abc"},
    {"LfEndsScan", "YWJjZA\nZGVm", "abcd"},
    {"LeadByteEndsScan", "YW\xb5\xe7YWJj", "a"},
    {"HighByteIsNotMaskedToAscii", "YWJj\xd9\xd7\xca\xea", "abc"},  // 'Y'|0x80 ...
    {"ByteFFEndsScan", "YWJj\xff", "abc"},
    {"ZeroByteEndsScan", BYTES("YW\0Jj"), "a"},
    {"UrlSafeSymbolsAreNotSymbols", "YWJj-_-_", "abc"},
    {"ColonEndsScan", "YWJj://YWJj", "abc"},
    {"PlusAndSlash", "+/+/", "\xfb\xff\xbf"},
    {"AllOnes", "////", "\xff\xff\xff"},
    {"EncodedZerosAreKept", "AAAA", BYTES("\0\0\0")},
    {"ZeroInTheMiddleIsKept", "YQBi", BYTES("a\0b")},
    {"LeftoverZero", "AA", BYTES("\0")},
    {"NonCanonicalLeftoverBitsDropped", "YR", "a"},  // R carries low bits a padded encoder zeroes
};

// Keeps test names readable in ctest's list instead of a dump of the object's bytes.
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

// Every case on the dialog's decoder and on the batch path.
class DecodeBase64TextTest
    : public ::testing::TestWithParam<std::tuple<DecodeCase, testing::DecodePath>> {};

TEST_P(DecodeBase64TextTest, DecodesTheLeadingRunOnly) {
    const auto& [c, path] = GetParam();
    EXPECT_EQ(path.decode(c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeBase64TextTest,
                         ::testing::Combine(::testing::ValuesIn(kDecodeCases),
                                            ::testing::ValuesIn(testing::kDecodePaths)),
                         testing::CaseOnPathName<DecodeCase>);

TEST(DecodeBase64Text, ValuesEveryAlphabetSymbolByItsIndex) {
    ASSERT_EQ(kBase64Alphabet.size(), 64u);
    // Each symbol, padded as "AAA<s>", decodes to a last byte equal to its index.
    for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
        std::string decoded = DecodeBase64Text(std::string("AAA") + kBase64Alphabet[i]);
        ASSERT_EQ(decoded.size(), 3u);
        EXPECT_EQ(static_cast<unsigned char>(decoded[2]), i) << kBase64Alphabet[i];
    }
}

TEST(DecodeBase64Text, EveryNonSymbolByteEndsTheScan) {
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        if (kBase64Alphabet.find(byte) != std::string::npos)
            continue;
        std::string input = "YWJj";
        input += byte;
        input += "ZGVm";
        EXPECT_EQ(DecodeBase64Text(input), "abc") << "byte " << b;
    }
}

}  // namespace
}  // namespace linkdecode
