// The core in WebAssembly at the scalar level and with SIMD128, against each other and the
// dialog's decoder: each byte value at each place of a 64-byte block, then random texts of
// symbols, scheme bytes and bytes each kernel tells apart, each fed to the finder in two pieces.
// Prints the count and exits non-zero when a level differs.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/charset.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/simd/simd_level.h"
#include "linkdecode/text_render.h"

namespace {

using namespace linkdecode;

// UTF-8 and raw reading never convert GB18030: a call fails the run.
class NoGbConversion : public GbConverter {
public:
    bool ToUtf8(std::string_view, std::string&) override { return failed = true, false; }
    bool FromUtf8(std::string_view, std::string&) override { return failed = true, false; }
    bool failed = false;
};

std::string Results(const std::string& text, std::size_t cut, NoGbConversion& gb) {
    std::string all;
    DecodeBase64Batch(text, all);
    all += '|' + DecodeBase64Text(text) + '|' + EncodeBase64Text(text) + '|';
    std::string address;
    all += std::to_string(
               static_cast<int>(UnwrapDownloadLinkBatch("qqdl://" + text, address).outcome)) +
           address;
    for (const ReadMode mode : {ReadMode::Strict, ReadMode::Repair}) {
        LinkFinder finder(mode, 64);
        std::vector<FoundLink> links;
        finder.Feed(std::string_view(text).substr(0, cut), links);
        finder.Feed(std::string_view(text).substr(cut), links);
        finder.Finish(links);
        for (const FoundLink& link : links)
            all += '|' + std::string(link.text) + '/' + std::to_string(link.fullLength) + '/' +
                   std::to_string(link.line);
    }
    all += IsValidUtf8(text) ? "|utf8|" : "|other|";
    for (const Charset charset : {Charset::Utf8, Charset::Raw}) {
        RenderText(text, charset, gb, all);
        RenderJsonString(text, charset, gb, all);
        RenderPercentEncoded(text, charset, gb, all);
    }
    return all;
}

}  // namespace

int main() {
    const std::string block = "QUJD+/09azAZ/+b3ZnJlZS5leGFtcGxlLmNuL3NvZnQvc2V0dXAuZXhlWlo5876A";
    const std::string others =
        std::string("=:%/ \r\n\t\"'<>\\\x7f\x01\x80\xc2\xe2\x81\xfe\xffthunder://%3A%2F") + '\0';
    std::vector<std::string> texts;
    for (int b = 0; b < 256; ++b) {
        for (std::size_t at = 0; at < block.size(); ++at) {
            std::string text = block + "= thunder%3A%2F%2FQUFh\r\n'x'<y>";
            text[at] = static_cast<char>(b);
            texts.push_back(text);
        }
    }
    std::mt19937 random(20);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (std::size_t n = random() % 300; n > 0; --n)
            text += random() % 3 == 0 ? others[random() % others.size()] : block[random() % 64];
        texts.push_back(text);
    }
    const std::vector<simd::Level> levels = simd::SupportedLevels();
    NoGbConversion gb;
    long compared = 0;
    long differences = 0;
    for (const std::string& text : texts) {
        const std::size_t cut = random() % (text.size() + 1);
        simd::ForceLevel(simd::Level::Scalar);
        const std::string scalar = Results(text, cut, gb);
        for (const simd::Level level : levels) {
            simd::ForceLevel(level);
            ++compared;
            if (Results(text, cut, gb) != scalar && ++differences <= 5)
                std::printf("FAIL %s differs on a text of %zu bytes\n", simd::LevelName(level),
                            text.size());
        }
    }
    std::printf("%ld texts compared on %zu levels (best: %s), %ld differ\n", compared,
                levels.size(), simd::LevelName(levels.back()), differences);
    if (gb.failed)
        std::printf("FAIL a GB18030 conversion was asked for\n");
    return differences == 0 && !gb.failed && levels.back() == simd::Level::Simd128 ? 0 : 1;
}
