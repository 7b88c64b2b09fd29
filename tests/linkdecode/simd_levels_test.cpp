// Every vector level against the scalar one and the dialog's functions: each byte value at each
// place of a 64-byte block, runs of every length up to a few blocks, and every split of a text
// across the finder's pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "each_level.h"
#include "linkdecode/base64_decoder.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/charset.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/text_render.h"

namespace linkdecode {
namespace {

using testing::OnEachLevel;

// UTF-8 and raw reading never convert GB18030.
class NoGbConversion : public GbConverter {
public:
    bool ToUtf8(std::string_view, std::string&) override {
        ADD_FAILURE() << "GB18030 conversion asked for";
        return false;
    }
    bool FromUtf8(std::string_view, std::string&) override {
        ADD_FAILURE() << "GB18030 conversion asked for";
        return false;
    }
};

// What every part with a vector path makes of `text`, in one string to compare.
std::string Everything(const std::string& text) {
    std::string all;
    DecodeBase64Batch(text, all);
    std::string address;
    const std::string link = "thunder://" + text;
    const BatchUnwrap unwrapped = UnwrapDownloadLinkBatch(link, address);
    all += '|' + std::to_string(static_cast<int>(unwrapped.outcome)) + address;
    for (const ReadMode mode : {ReadMode::Strict, ReadMode::Repair}) {
        for (const FoundLink& found : FindLinks("x qqdl://" + text + "\n" + link, mode, 4096))
            all += '|' + std::string(found.text) + '@' + std::to_string(found.line) + '/' +
                   std::to_string(found.fullLength);
    }
    all += '|' + EncodeBase64Text(text);
    all += '|' + EncodeBase64Text(text);
    all += IsValidUtf8(text) ? "|utf8" : "|not utf8";
    NoGbConversion gb;
    for (const Charset charset : {Charset::Utf8, Charset::Raw}) {
        all += '|';
        RenderText(text, charset, gb, all);
        RenderJsonString(text, charset, gb, all);
        RenderPercentEncoded(text, charset, gb, all);
    }
    return all;
}

// A block of symbols of every class, with ":" and "%" past its end.
const std::string kBlock = "QUJD+/09azAZ/+b3ZnJlZS5leGFtcGxlLmNuL3NvZnQvc2V0dXAuZXhlWlo5876A";
const std::string kAfterBlock = "= thunder%3A%2F%2FQUFh\r\n'x'<y>";

TEST(SimdLevels, EveryByteValueAtEveryPlaceOfABlockGivesTheScalarResult) {
    ASSERT_EQ(kBlock.size(), 64u);
    std::vector<std::string> texts;
    for (int b = 0; b < 256; ++b) {
        for (std::size_t at = 0; at < kBlock.size(); ++at) {
            std::string text = kBlock + kAfterBlock;
            text[at] = static_cast<char>(b);
            texts.push_back(text);
        }
    }
    std::vector<std::string> scalar;
    int differences = 0;
    OnEachLevel([&](simd::Level level) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (level == simd::Level::Scalar) {
                scalar.push_back(Everything(texts[i]));
                continue;
            }
            if (Everything(texts[i]) != scalar[i] && ++differences <= 5)
                ADD_FAILURE() << "byte " << i / 64 << " at " << i % 64;
        }
    });
    EXPECT_EQ(differences, 0);
}

TEST(SimdLevels, RunsOfEveryLengthDecodeAsTheDialogDoes) {
    std::string run;
    for (std::size_t n = 0; run.size() < 3 * 64 + 5; ++n)
        run += kBlock[(n * 7) % kBlock.size()];
    OnEachLevel([&](simd::Level) {
        std::string bytes;
        std::string address;
        for (std::size_t length = 0; length <= run.size(); ++length) {
            for (const char* end : {"", "=", " ", "\x80", ":", "%", "\xE2"}) {
                const std::string text = run.substr(0, length) + end + "QUFB";
                DecodeBase64Batch(text, bytes);
                EXPECT_EQ(bytes, DecodeBase64Text(text)) << length << ' ' << end;
                const std::string link = "flashget://" + text;
                const BatchUnwrap batch = UnwrapDownloadLinkBatch(link, address);
                const UnwrapResult dialog = UnwrapDownloadLink(link);
                EXPECT_EQ(batch.outcome, dialog.outcome);
                EXPECT_EQ(address, dialog.text) << length << ' ' << end;
            }
        }
    });
}

TEST(SimdLevels, EveryLengthEncodesAsTheScalarLevelDoes) {
    std::string bytes;
    for (int n = 0; n < 3 * 64 + 5; ++n)
        bytes += static_cast<char>(n * 37 + 11);
    std::vector<std::string> scalar;
    OnEachLevel([&](simd::Level level) {
        for (std::size_t length = 0; length <= bytes.size(); ++length) {
            const std::string symbols = EncodeBase64Text(bytes.substr(0, length));
            if (level == simd::Level::Scalar)
                scalar.push_back(symbols);
            else
                EXPECT_EQ(symbols, scalar[length]) << length;
        }
    });
}

// Links of several sizes and forms, with repairs' gaps and percent-encoded separators.
std::string FinderText() {
    std::string text = "<a href=\"thunder://" + kBlock + "==\">x</a>\n";
    text += "wrapped: qqdl://" + kBlock + "\n    " + kBlock.substr(0, 20) + "\r\n";
    text += "q=FLASHGET%3A%2F%2F" + kBlock + kBlock + "%3D and thunder:/" + "/QUFB'\n";
    text += std::string(70, ' ') + "thunder://" + kBlock.substr(5) + "\t" + "thunder:";
    return text;
}

TEST(SimdLevels, EverySplitAcrossTheFindersPiecesFindsTheSameLinks) {
    const std::string text = FinderText();
    for (const ReadMode mode : {ReadMode::Strict, ReadMode::Repair}) {
        std::vector<FoundLink> expected;
        OnEachLevel([&](simd::Level level) {
            if (level == simd::Level::Scalar)
                expected = FindLinks(text, mode, 100);
            ASSERT_GE(expected.size(), 4u);
            for (std::size_t split = 0; split <= text.size(); ++split) {
                LinkFinder finder(mode, 100);
                std::vector<FoundLink> links;
                finder.Feed(std::string_view(text).substr(0, split), links);
                finder.Feed(std::string_view(text).substr(split), links);
                finder.Finish(links);
                ASSERT_EQ(links.size(), expected.size()) << split;
                for (std::size_t i = 0; i < links.size(); ++i) {
                    EXPECT_EQ(links[i].text, expected[i].text) << split;
                    EXPECT_EQ(links[i].fullLength, expected[i].fullLength) << split;
                    EXPECT_EQ(links[i].line, expected[i].line) << split;
                }
            }
        });
    }
}

}  // namespace
}  // namespace linkdecode
