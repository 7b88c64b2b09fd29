#include <gtest/gtest.h>

#include <random>
#include <string>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/link_unwrap.h"
#include "reference_encoder.h"

namespace linkdecode {
namespace {

using linkdecode::testing::EncodeBase64;

// Fixed seed: a failure names its iteration and reproduces.
constexpr unsigned kSeed = 20261208;
constexpr int kIterations = 3000;

std::string RandomBytes(std::mt19937& rng, std::size_t size, bool allowZero) {
    std::uniform_int_distribution<int> byte(allowZero ? 0 : 1, 255);
    std::string out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(byte(rng));
    return out;
}

TEST(DecodeBase64TextProperty, GivesBackWhatAnEncoderWrote) {
    std::mt19937 rng(kSeed);
    std::uniform_int_distribution<std::size_t> size(0, 300);
    for (int i = 0; i < kIterations; ++i) {
        const std::string bytes = RandomBytes(rng, size(rng), true);
        ASSERT_EQ(DecodeBase64Text(EncodeBase64(bytes, true)), bytes) << "iteration " << i;
        ASSERT_EQ(DecodeBase64Text(EncodeBase64(bytes, false)), bytes) << "iteration " << i;
    }
}

TEST(DecodeBase64TextProperty, StopsAtTheFirstNonSymbolAfterAnyPayload) {
    std::mt19937 rng(kSeed + 1);
    std::uniform_int_distribution<std::size_t> size(0, 60);
    for (int i = 0; i < kIterations; ++i) {
        // Lengths that are multiples of 3 encode without padding, so the stop byte is the tail.
        const std::string bytes = RandomBytes(rng, size(rng) * 3, true);
        const std::string tail = RandomBytes(rng, 1 + size(rng), true);
        if (kBase64Alphabet.find(tail[0]) != std::string::npos)
            continue;
        ASSERT_EQ(DecodeBase64Text(EncodeBase64(bytes) + tail), bytes) << "iteration " << i;
    }
}

TEST(UnwrapDownloadLinkProperty, EverySchemeGivesBackItsAddress) {
    std::mt19937 rng(kSeed + 2);
    std::uniform_int_distribution<std::size_t> size(0, 200);
    std::bernoulli_distribution pad(0.5);
    for (const LinkScheme& scheme : kLinkSchemes) {
        for (int i = 0; i < kIterations; ++i) {
            const std::string address = RandomBytes(rng, size(rng), false);
            const std::string inner = RandomBytes(rng, scheme.trimEachEnd, false) + address +
                                      RandomBytes(rng, scheme.trimEachEnd, false);
            const UnwrapResult result =
                UnwrapDownloadLink(std::string(scheme.prefix) + EncodeBase64(inner, pad(rng)));
            ASSERT_EQ(result.outcome, UnwrapOutcome::Decoded) << scheme.prefix << " " << i;
            ASSERT_EQ(result.text, address) << scheme.prefix << " iteration " << i;
        }
    }
}

}  // namespace
}  // namespace linkdecode
