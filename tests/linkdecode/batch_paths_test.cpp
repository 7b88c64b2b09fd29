// The batch path against the dialog's functions on every short text made of bytes of each kind
// the rules tell apart: bare, behind each prefix, and with a prefix inside.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "each_level.h"
#include "linkdecode/base64_decoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/link_unwrap.h"

namespace linkdecode {
namespace {

// Symbols of each class, with values from 0 (zero bytes to cut at) to 63 spread over their bits;
// the padding; ":" and "/" of a scheme; what ends a link or starts an escape; zero; code page 936
// lead bytes at both ends of their range, and the high bytes outside it.
const std::string kBytes = std::string("AQZagtw09+/=:%& \r\n\x81\xfe\x80\xff") + '\0';
constexpr std::size_t kLongest = 4;
constexpr int kFailuresShown = 10;

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", byte);
        out += byte >= 0x21 && byte < 0x7F ? std::string(1, c) : std::string(hex);
    }
    return out;
}

// Every text of up to kLongest bytes of kBytes, the empty one included.
std::vector<std::string> ShortTexts() {
    std::vector<std::string> texts{""};
    for (std::size_t begin = 0, length = 0; length < kLongest; ++length) {
        const std::size_t end = texts.size();
        for (std::size_t i = begin; i < end; ++i) {
            for (const char byte : kBytes)
                texts.push_back(texts[i] + byte);
        }
        begin = end;
    }
    return texts;
}

// Counts the texts the paths disagree on and names the first few.
class Disagreements {
public:
    void Check(const std::string& text, bool same) {
        if (!same && ++count_ <= kFailuresShown)
            ADD_FAILURE() << "the paths differ on \"" << Escaped(text) << '"';
    }
    int Count() const { return count_; }

private:
    int count_ = 0;
};

TEST(BatchPathsExhaustive, DecodeAgreesOnEveryShortTextAtEveryLevel) {
    std::string bytes = "stale";
    Disagreements disagreements;
    testing::OnEachLevel([&](simd::Level) {
        for (const std::string& text : ShortTexts()) {
            DecodeBase64Batch(text, bytes);
            disagreements.Check(text, bytes == DecodeBase64Text(text));
        }
    });
    EXPECT_EQ(disagreements.Count(), 0);
}

TEST(BatchPathsExhaustive, UnwrapAgreesOnEveryShortTextAroundThePrefixesAtEveryLevel) {
    std::string address = "stale";
    Disagreements disagreements;
    const simd::Level before = simd::ActiveLevel();
    const std::vector<simd::Level> levels = simd::SupportedLevels();
    const auto check = [&](const std::string& pasted) {
        const UnwrapResult dialog = UnwrapDownloadLink(pasted);
        const LinkScheme* scheme =
            dialog.outcome == UnwrapOutcome::Decoded ? MatchLinkScheme(pasted) : nullptr;
        for (const simd::Level level : levels) {
            simd::ForceLevel(level);
            const BatchUnwrap batch = UnwrapDownloadLinkBatch(pasted, address);
            disagreements.Check(pasted, batch.outcome == dialog.outcome && address == dialog.text &&
                                            batch.scheme == scheme);
        }
    };
    for (const std::string& tail : ShortTexts()) {
        check(tail);
        const std::size_t half = tail.size() / 2;
        for (const LinkScheme& outer : kLinkSchemes) {
            const std::string prefix(outer.prefix);
            check(prefix + tail);
            for (const LinkScheme& inner : kLinkSchemes)
                check(prefix + tail.substr(0, half) + std::string(inner.prefix) +
                      tail.substr(half));
        }
    }
    simd::ForceLevel(before);
    EXPECT_EQ(disagreements.Count(), 0);
}

// Every byte value, at each place of a quantum and of a leftover, is valued and ends the run alike.
TEST(BatchPaths, EveryByteValueAgreesAtEveryPlace) {
    std::string bytes;
    Disagreements disagreements;
    for (int b = 0; b < 256; ++b) {
        for (std::size_t at = 0; at <= 6; ++at) {
            std::string text = "QUFhYWJj";
            text.insert(at, 1, static_cast<char>(b));
            DecodeBase64Batch(text, bytes);
            disagreements.Check(text, bytes == DecodeBase64Text(text));
        }
    }
    EXPECT_EQ(disagreements.Count(), 0);
}

}  // namespace
}  // namespace linkdecode
