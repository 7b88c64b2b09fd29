// Throughput of the link decoding core on the sizes users meet: a typical pasted link, a long
// one (a magnet address with many trackers) and a 1 MiB payload, by the dialog's functions and
// by the batch path beside them. Bytes/s count input bytes; items/s count links, so the reported
// time is the time per link.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/batch_unwrap.h"
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

}  // namespace

BENCHMARK(BM_DecodeBase64Text)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
BENCHMARK(BM_DecodeBase64Batch)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
BENCHMARK(BM_UnwrapDownloadLink)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
BENCHMARK(BM_UnwrapDownloadLinkBatch)->Arg(kTypical)->Arg(kLong)->Arg(kPayload);
