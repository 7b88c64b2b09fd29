// Throughput of the link decoding core on the sizes users meet: a typical pasted link, a long
// one (a magnet address with many trackers) and a 1 MiB payload, by the dialog's functions and
// by the batch path beside them. Bytes/s count input bytes; items/s count links, so the reported
// time is the time per link.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_unwrap.h"

namespace {

// An address of at least `size` bytes: a download path, padded out with tracker parameters the
// way long magnet links are.
std::string Address(std::size_t size) {
    std::string address = "http://dl.example.cn/soft/2024/setup_v3.2.1_x64.exe";
    for (int n = 0; address.size() < size; ++n)
        address += "&tr=udp://tracker" + std::to_string(n) + ".example.org:6969/announce";
    address.resize(size);
    return address;
}

// A Thunder link of exactly `size` bytes, or a few bytes more where Base64 rounds up.
std::string ThunderLink(std::size_t size) {
    const std::size_t overhead = 10;  // "thunder://"
    const std::size_t payload = size > overhead ? size - overhead : 0;
    const std::size_t decoded = payload / 4 * 3;
    return "thunder://" +
           linkdecode::EncodeBase64Text("AA" + Address(decoded > 4 ? decoded - 4 : 0) + "ZZ");
}

constexpr std::size_t kTypical = 150;
constexpr std::size_t kLong = 4 * 1024;
constexpr std::size_t kPayload = 1024 * 1024;

void Report(benchmark::State& state, std::size_t inputBytes) {
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(inputBytes));
    state.counters["input_bytes"] = static_cast<double>(inputBytes);
}

void BM_DecodeBase64Text(benchmark::State& state) {
    const std::string link = ThunderLink(static_cast<std::size_t>(state.range(0)));
    const std::string payload = link.substr(10);
    for (auto _ : state) {
        std::string bytes = linkdecode::DecodeBase64Text(payload);
        benchmark::DoNotOptimize(bytes.data());
    }
    Report(state, payload.size());
}

void BM_UnwrapDownloadLink(benchmark::State& state) {
    const std::string link = ThunderLink(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        linkdecode::UnwrapResult result = linkdecode::UnwrapDownloadLink(link);
        benchmark::DoNotOptimize(result.text.data());
    }
    Report(state, link.size());
}

// The batch path as the tool uses it: one buffer for every link.
void BM_DecodeBase64Batch(benchmark::State& state) {
    const std::string payload = ThunderLink(static_cast<std::size_t>(state.range(0))).substr(10);
    std::string bytes;
    for (auto _ : state) {
        linkdecode::DecodeBase64Batch(payload, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    Report(state, payload.size());
}

void BM_UnwrapDownloadLinkBatch(benchmark::State& state) {
    const std::string link = ThunderLink(static_cast<std::size_t>(state.range(0)));
    std::string address;
    for (auto _ : state) {
        linkdecode::UnwrapDownloadLinkBatch(link, address);
        benchmark::DoNotOptimize(address.data());
    }
    Report(state, link.size());
}

// A web page of about 1 MiB with a typical link on each line: as given, or percent-encoded in
// a query string, as repair mode finds it.
std::string Page(bool percentEncoded) {
    std::string link = ThunderLink(kTypical);
    if (percentEncoded) {
        std::string escaped = "/go?url=thunder%3A%2F%2F";
        for (const char c : link.substr(10)) {
            if (c == '+' || c == '/' || c == '=')
                escaped += c == '+' ? "%2B" : c == '/' ? "%2F" : "%3D";
            else
                escaped += c;
        }
        link = escaped;
    }
    std::string page;
    while (page.size() < kPayload)
        page += "<li><a href=\"" + link + "\">setup.exe</a> 12.3 MB &amp; a mirror (#2)</li>\n";
    return page;
}

// The finder over a page: 0 strict, 1 repair, 2 repair with percent-encoded links.
void BM_FindLinks(benchmark::State& state) {
    const bool repair = state.range(0) != 0;
    const std::string page = Page(state.range(0) == 2);
    linkdecode::LinkFinder finder(repair ? linkdecode::ReadMode::Repair
                                         : linkdecode::ReadMode::Strict,
                                  linkdecode::kMaxLinkBytes);
    std::vector<linkdecode::FoundLink> links;
    for (auto _ : state) {
        finder.Feed(page, links);
        finder.Finish(links);
        benchmark::DoNotOptimize(links.data());
        finder.Recycle(links);
    }
    Report(state, page.size());
}

}  // namespace

BENCHMARK(BM_FindLinks)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_DecodeBase64Text)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
BENCHMARK(BM_DecodeBase64Batch)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
BENCHMARK(BM_UnwrapDownloadLink)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
BENCHMARK(BM_UnwrapDownloadLinkBatch)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
