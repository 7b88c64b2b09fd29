#include "linkdecode/address_check.h"

#include <gtest/gtest.h>

#include <string>

namespace linkdecode {
namespace {

TEST(IsOpenableAddress, OpensOnlyPlainDownloadSchemes) {
    const struct {
        std::string address;
        bool openable;
    } cases[] = {
        {"http://a.example.com/x.zip", true},
        {"HTTPS://a.example.com/", true},
        {"ftp://ftp.example.org/pub/a.iso", true},
        {"ed2k://|file|a.mkv|1|0123|/", true},
        {"magnet:?xt=urn:btih:0123", true},
        {"http://a.example.com/\xe7\x94\xb5\xe5\xbd\xb1.mkv", true},
        {"javascript:alert(1)", false},
        {"data:text/html,<b>x</b>", false},
        {"thunder://QUFh", false},
        {" http://a/", false},
        {"http://a/b c", false},
        {"http://a/\x1b[2J", false},
        {"http://a/\xe2\x80\xaegpj.exe", false},  // a right-to-left override
        {"http://a/\xc2\x9b", false},              // a C1 control
        {"<img src=x onerror=alert(1)>", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsOpenableAddress(c.address), c.openable) << c.address;
}

TEST(AddressPlausibility, RanksWhatLooksLikeAnAddress) {
    const struct {
        std::string address;
        int plausibility;
    } cases[] = {
        {"", 0},
        {"http://a/\x01", 1},
        {"http://a/\xff\xff", 1},
        {"tp://a.example.com/", 2},
        {"AAhttp://a/", 2},
        {"http://", 2},
        {"http:///x", 2},
        {"http://a.example.com/\xb5\xe7\xd3\xb0", 3},
        {"ed2k://|file|a|1|2|/", 3},
        {"ed2k://file", 2},
        {"Magnet:?xt=urn:btih:1", 3},
        {"qqdl://aHR0cDovL2Ev", 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AddressPlausibility(c.address), c.plausibility) << c.address;
}

TEST(IsAddressShaped, AsksForASchemeOrAHostAndPath) {
    const struct {
        std::string bytes;
        bool shaped;
    } cases[] = {
        {"http://a.example.com/x.zip", true},
        {"HTTPS://a", true},
        {"ed2k://|file|a.mkv|1|0123|/", true},
        {"magnet:?xt=urn:btih:0123", true},
        {"thunder://QUFh", true},
        {"svn+ssh://host/repo", true},
        {"www.example.com/a.rar", true},
        {"dl.example.cn:8080/a", true},
        {"192.168.1.10/a.iso", true},
        {"", false},
        {"A", false},
        {"hello world", false},
        {"http://", false},
        {"magnet:?", false},
        {"h://a", false},
        {"1ftp://a", false},
        {"://a", false},
        {"www.example.com", false},
        {"example.c/a", false},
        {"example.123/a", false},
        {"1.2.3/a", false},
        {"a..b.com/x", false},
        {"-a.com/x", false},
        {"a.com:/x", false},
        {" http://a/", false},
        {"\xe5\x91\xb4"
         "e",
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAddressShaped(c.bytes), c.shaped) << c.bytes;
}

}  // namespace
}  // namespace linkdecode
