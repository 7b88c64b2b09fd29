// Finds links in the input, fed in two pieces cut where its first byte says, checks whether it
// is UTF-8 and renders it, at every vector level the processor offers, and aborts when a level
// gives other results than the scalar one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/charset.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/simd/simd_level.h"
#include "linkdecode/text_render.h"

namespace {

// UTF-8 and raw reading never convert GB18030.
class NoGbConversion : public linkdecode::GbConverter {
public:
    bool ToUtf8(std::string_view, std::string&) override { std::abort(); }
    bool FromUtf8(std::string_view, std::string&) override { std::abort(); }
};

std::string Results(std::string_view text, std::size_t cut) {
    std::string all;
    for (const linkdecode::ReadMode mode :
         {linkdecode::ReadMode::Strict, linkdecode::ReadMode::Repair}) {
        linkdecode::LinkFinder finder(mode, 64);
        std::vector<linkdecode::FoundLink> links;
        finder.Feed(text.substr(0, cut), links);
        finder.Feed(text.substr(cut), links);
        finder.Finish(links);
        for (const linkdecode::FoundLink& link : links)
            all += std::string(link.text) + '\0' + std::to_string(link.fullLength) + '/' +
                   std::to_string(link.line) + '\0';
    }
    all += linkdecode::IsValidUtf8(text) ? 'u' : 'n';
    NoGbConversion gb;
    for (const linkdecode::Charset charset :
         {linkdecode::Charset::Utf8, linkdecode::Charset::Raw}) {
        linkdecode::RenderText(text, charset, gb, all);
        linkdecode::RenderJsonString(text, charset, gb, all);
        linkdecode::RenderPercentEncoded(text, charset, gb, all);
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<linkdecode::simd::Level> levels = linkdecode::simd::SupportedLevels();
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t cut = data[0] % (text.size() + 1);
    linkdecode::simd::ForceLevel(linkdecode::simd::Level::Scalar);
    const std::string scalar = Results(text, cut);
    for (const linkdecode::simd::Level level : levels) {
        linkdecode::simd::ForceLevel(level);
        if (Results(text, cut) != scalar)
            std::abort();
    }
    return 0;
}
