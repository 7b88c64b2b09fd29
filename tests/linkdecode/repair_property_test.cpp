// Random addresses wrapped into links, damaged as web pages damage them: repair mode gives each
// address back and names the repair; undamaged links read exactly as in strict mode, offered as
// addresses when their markers or their look vouch for them.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "linkdecode/address_check.h"
#include "linkdecode/repair_readings.h"
#include "reference_encoder.h"

namespace linkdecode {
namespace {

using linkdecode::testing::EncodeBase64;

constexpr unsigned kSeed = 20261209;
constexpr int kIterations = 400;

class AddressMaker {
public:
    explicit AddressMaker(std::mt19937& rng) : rng_(rng) {}

    // An address of a random kind whose names mix ASCII with Chinese, all in GBK or all in
    // UTF-8, as one address is.
    std::string Make() {
        gbk_ = Pick(2) == 0;
        const std::string name = Name();
        switch (Pick(5)) {
            case 0:
                return "http://" + Host() + "/" + Name() + "/" + name + ".exe";
            case 1:
                return "https://" + Host() + "/d/" + name + "?id=" + Ascii(4) + "&k=" + Ascii(6);
            case 2:
                return "ftp://" + Host() + "/pub/" + name + ".iso";
            case 3:
                return "ed2k://|file|" + name + ".mkv|" + std::to_string(Pick(1 << 30)) + "|" +
                       Hex(32) + "|/";
            default:
                return "magnet:?xt=urn:btih:" + Hex(40) + "&dn=" + name + "&tr=udp://" + Host();
        }
    }

private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

    std::string From(std::string_view set, std::size_t length) {
        std::string out;
        for (std::size_t i = 0; i < length; ++i)
            out += set[Pick(set.size())];
        return out;
    }
    std::string Ascii(std::size_t n) { return From("abcdefghijklmnopqrstuvwxyz0123456789_-", n); }
    std::string Hex(std::size_t n) { return From("0123456789abcdef", n); }
    std::string Host() { return Ascii(1 + Pick(10)) + ".example." + (Pick(2) ? "cn" : "com"); }

    std::string Name() {
        std::string name = Ascii(Pick(6));
        const std::size_t chinese = Pick(5);
        for (std::size_t i = 0; i < chinese; ++i) {
            if (gbk_) {
                name += static_cast<char>(0xB0 + Pick(0xD7 - 0xB0));
                name += static_cast<char>(0xA1 + Pick(0xFE - 0xA1));
            } else {
                const unsigned c = 0x4E00 + static_cast<unsigned>(Pick(0x9FA5 - 0x4E00));
                name += static_cast<char>(0xE0 | c >> 12);
                name += static_cast<char>(0x80 | (c >> 6 & 0x3F));
                name += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return name + Ascii(Pick(4)) + (Pick(3) == 0 ? " v" + Ascii(2) : "");
    }

    std::mt19937& rng_;
    bool gbk_ = false;
};

std::string Wrapped(const LinkScheme& scheme, const std::string& address, bool pad) {
    return std::string(scheme.prefix) +
           EncodeBase64(std::string(scheme.headMarker) + address + std::string(scheme.tailMarker),
                        pad);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to,
                       std::size_t start = 0) {
    for (std::size_t at = text.find(from, start); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// One kind of damage: what it does to a link (empty when it does not apply), and its repair.
struct Damage {
    const char* name;
    unsigned repair;
    std::function<std::string(const LinkScheme&, const std::string& address, std::mt19937&)> apply;
};

const Damage kDamages[] = {
    {"PercentEncoded", kRepairPercentEscapes,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         std::string link = Wrapped(s, a, true);
         const std::size_t payload = s.prefixLength();
         link = ReplaceAll(ReplaceAll(ReplaceAll(link, "+", "%2B", payload), "/", "%2F", payload),
                           "=", "%3D", payload);
         return std::string(s.name) + "%3A%2F%2F" + link.substr(payload);
     }},
    {"PlusAsSpace", kRepairSpaceAsPlus,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         const std::string link = Wrapped(s, a, true);
         return link.find('+') == std::string::npos ? std::string() : ReplaceAll(link, "+", " ");
     }},
    {"LineWrapped", kRepairWhitespaceDropped,
     [](const LinkScheme& s, const std::string& a, std::mt19937& rng) {
         const std::string link = Wrapped(s, a, true);
         const std::size_t width = std::uniform_int_distribution<std::size_t>(16, 80)(rng);
         std::string wrapped;
         for (std::size_t at = 0; at < link.size(); at += width)
             wrapped += (at == 0 ? "" : rng() % 2 ? "\r\n" : "\n") + link.substr(at, width);
         return wrapped;
     }},
    {"NoMarkers", kRepairMissingMarkers,
     [](const LinkScheme& s, const std::string& a, std::mt19937& rng) {
         if (s.trimEachEnd == 0)
             return std::string();
         const bool head = rng() % 2 == 0;
         return std::string(s.prefix) + EncodeBase64((head ? std::string(s.headMarker) : "") + a);
     }},
    {"SlashGlued", kRepairTrailingJunk,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         const std::string link = Wrapped(s, a, false);
         // Without markers, a "/" after three symbols of a group reads as a final "?", which
         // an address may really end with: nothing tells the two apart.
         if (s.trimEachEnd == 0 && (link.size() - s.prefixLength()) % 4 == 3)
             return std::string();
         return link + "/";
     }},
    {"UrlSafe", kRepairUrlSafeBase64,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         const std::string link = Wrapped(s, a, true);
         return ReplaceAll(ReplaceAll(link, "+", "-"), "/", "_", s.prefixLength());
     }},
    {"SchemeCase", kRepairSchemeCase,
     [](const LinkScheme& s, const std::string& a, std::mt19937& rng) {
         std::string link = Wrapped(s, a, true);
         for (std::size_t i = 0; i < s.name.size(); ++i)
             link[i] = rng() % 2 ? static_cast<char>(link[i] - 'a' + 'A') : link[i];
         link[0] = static_cast<char>(s.name[0] - 'a' + 'A');
         return link;
     }},
    {"EntitiesInPayload", kRepairHtmlEntities,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         const std::string link = Wrapped(s, a, true);
         return ReplaceAll(ReplaceAll(link, "+", "&#43;"), "/", "&#47;", s.prefixLength());
     }},
    {"JsonEscapes", kRepairJsonEscapes,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         return ReplaceAll(Wrapped(s, a, true), "/", "\\/");
     }},
    {"EntitiesInAddress", kRepairAddressEntities,
     [](const LinkScheme& s, const std::string& a, std::mt19937&) {
         return a.find('&') == std::string::npos ? std::string()
                                                 : Wrapped(s, ReplaceAll(a, "&", "&amp;"), true);
     }},
};

TEST(RepairProperty, GivesBackTheAddressOfEveryDamage) {
    std::mt19937 rng(kSeed);
    AddressMaker maker(rng);
    for (const Damage& damage : kDamages) {
        for (const LinkScheme& scheme : kLinkSchemes) {
            for (int i = 0; i < kIterations; ++i) {
                const std::string address = maker.Make();
                const std::string link = damage.apply(scheme, address, rng);
                if (link.empty())
                    continue;
                const LinkReading reading = ReadRepairedLink(link);
                ASSERT_EQ(reading.address, address) << damage.name << " " << i << " " << link;
                // A damage that strict reading survives needs no repair named.
                if (UnwrapDownloadLink(link).text != address) {
                    ASSERT_NE(reading.repairs & damage.repair, 0u)
                        << damage.name << " " << i << " " << link << " " << reading.repairs;
                }
            }
        }
    }
}

TEST(RepairProperty, LeavesUndamagedLinksAsStrictReadsThem) {
    std::mt19937 rng(kSeed + 1);
    AddressMaker maker(rng);
    std::uniform_int_distribution<int> byte(1, 255);
    for (const LinkScheme& scheme : kLinkSchemes) {
        for (int i = 0; i < kIterations * 4; ++i) {
            // Real addresses, and any bytes at all, padded or not.
            std::string address = maker.Make();
            if (i % 2 == 1) {
                address.resize(address.size() % 97);
                for (char& c : address)
                    c = static_cast<char>(byte(rng));
            }
            const std::string link = Wrapped(scheme, address, i % 3 != 0);
            const LinkReading reading = ReadRepairedLink(link);
            const std::string strict = UnwrapDownloadLink(link).text;
            // Markers vouch for what they wrap; a Whirlwind payload has only its own look.
            const bool offered =
                scheme.trimEachEnd != 0 || strict.empty() || IsAddressShaped(strict);
            ASSERT_EQ(reading.outcome, offered ? ReadOutcome::Decoded : ReadOutcome::NotAnAddress)
                << i << " " << link;
            ASSERT_EQ(offered ? reading.address : reading.detail, strict) << i << " " << link;
            ASSERT_EQ(reading.repairs, 0u) << i << " " << link;
            ASSERT_EQ(reading.inputLength, link.size()) << i;
        }
    }
}

}  // namespace
}  // namespace linkdecode
