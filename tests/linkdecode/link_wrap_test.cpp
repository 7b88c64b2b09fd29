#include "linkdecode/link_wrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/platform_gb_converter.h"
#include "reference_encoder.h"

namespace linkdecode {
namespace {

using linkdecode::testing::EncodeBase64;

struct WrapCase {
    const char* scheme;
    std::string address;
    std::string link;
};

// Built with the independent reference encoder from the markers each manager writes.
const WrapCase kWrapCases[] = {
    {"thunder", "http://example.com/file.zip",
     "thunder://" + EncodeBase64("AAhttp://example.com/file.zipZZ")},
    {"flashget", "http://dl.example.com/a.rar",
     "flashget://" + EncodeBase64("[FLASHGET]http://dl.example.com/a.rar[FLASHGET]")},
    {"qqdl", "http://down.example.com/setup.exe",
     "qqdl://" + EncodeBase64("http://down.example.com/setup.exe")},
    {"thunder", "", "thunder://QUFaWg=="},
    {"qqdl", "", "qqdl://"},
    {"thunder", "http://\xc0\xfd.cn/\xb5\xe7\xd3\xb0.mkv",
     "thunder://" + EncodeBase64("AAhttp://\xc0\xfd.cn/\xb5\xe7\xd3\xb0.mkvZZ")},
};

TEST(WrapDownloadLink, GluesMarkersAndEncodes) {
    for (const WrapCase& c : kWrapCases) {
        const LinkScheme* scheme = FindLinkScheme(c.scheme);
        ASSERT_NE(scheme, nullptr) << c.scheme;
        EXPECT_EQ(WrapDownloadLink(*scheme, c.address), c.link) << c.scheme << " " << c.address;
    }
}

TEST(FindLinkScheme, KnowsExactlyTheThreeNames) {
    EXPECT_EQ(FindLinkScheme("thunder"), &kLinkSchemes[0]);
    EXPECT_EQ(FindLinkScheme("flashget"), &kLinkSchemes[1]);
    EXPECT_EQ(FindLinkScheme("qqdl"), &kLinkSchemes[2]);
    for (const char* other : {"", "Thunder", "thunder://", "thunde", "http", "qqdl:"})
        EXPECT_EQ(FindLinkScheme(other), nullptr) << other;
}

// Random addresses of every length, bytes 1 to 255: the unwrapper gives each one back.
TEST(WrapDownloadLink, UnwrapGivesEveryAddressBack) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> byte(1, 255);
    for (const LinkScheme& scheme : kLinkSchemes) {
        for (std::size_t length = 0; length < 120; ++length) {
            std::string address;
            for (std::size_t i = 0; i < length; ++i)
                address += static_cast<char>(byte(random));
            const UnwrapResult result = UnwrapDownloadLink(WrapDownloadLink(scheme, address));
            EXPECT_EQ(result.outcome, UnwrapOutcome::Decoded) << scheme.prefix << length;
            EXPECT_EQ(result.text, address) << scheme.prefix << length;
        }
    }
}

// Each refusal, the link's own bytes (false) or GBK (true) asked for; every front end tells the
// reason WrapRefusalText gives, so each must have one of its own.
TEST(WrapAddress, RefusesWhatNoLinkCarriesWithItsOwnReason) {
    const struct {
        std::string address;
        bool toGb;
        WrapRefusal refusal;
    } cases[] = {
        {"", false, WrapRefusal::Empty},
        {"", true, WrapRefusal::Empty},
        {std::string("http://a/\0b", 11), false, WrapRefusal::ZeroByte},
        {"http://a/\xb5\xe7", true, WrapRefusal::NotUtf8},
        {"http://a/\xf0\x9f\x98\x80", false, WrapRefusal::None},
    };
    std::vector<std::string_view> reasons;
    for (const auto& c : cases) {
        std::string link;
        const WrapRefusal refusal =
            WrapAddress(kLinkSchemes[0], c.address, c.toGb, PlatformGbConverter(), link);
        EXPECT_EQ(refusal, c.refusal) << c.address;
        EXPECT_EQ(WrapRefusalText(refusal).empty(), refusal == WrapRefusal::None) << c.address;
    }
    for (WrapRefusal refusal :
         {WrapRefusal::Empty, WrapRefusal::ZeroByte, WrapRefusal::NotUtf8, WrapRefusal::NoGbCode}) {
        EXPECT_EQ(std::count(reasons.begin(), reasons.end(), WrapRefusalText(refusal)), 0);
        reasons.push_back(WrapRefusalText(refusal));
    }
}

}  // namespace
}  // namespace linkdecode
