#include "linkdecode/batch_unwrap.h"

#include <array>
#include <iterator>
#include <utility>

#include "linkdecode/simd/simd_level.h"
#include "linkdecode/unwrap_loops.h"

namespace linkdecode {

namespace {

// The table's values, whole blocks of quanta at a time where the processor has vectors for it.
struct VectorValues : rules::ValueTable {
    static constexpr bool kDecodesBlocks = true;
    static std::size_t DecodeBlocks(const unsigned char* bytes, std::size_t count,
                                    rules::WriteIntoRoom& out) {
        const auto decode = simd::ActiveKernels().decodeQuanta;
        if (decode == nullptr)
            return 0;
        const std::size_t symbols = decode(bytes, count, reinterpret_cast<unsigned char*>(out.at));
        out.at += symbols / 4 * 3;
        return symbols;
    }
};

using BatchDecoder = rules::RunDecoder<VectorValues, rules::WriteIntoRoom>;

// Room for the decoded payload of a link of up to kRoomBytes, kept for each thread, so that no
// link's bytes are first filled with zeros or allocated; a longer payload gets room of its own.
constexpr std::size_t kRoomBytes = 4096;

// Decodes what `feed` hands the decoder out of `size` bytes of text, and hands `take` the bytes
// decoded, as a view valid during the call.
template <typename Feed, typename Take>
void DecodeInto(std::size_t size, Feed feed, Take take) {
    thread_local char room[kRoomBytes];
    const std::size_t most = size / 4 * 3 + 3;  // the most `size` bytes can decode to
    std::string own;
    char* at = room;
    if (most > kRoomBytes) {
        own.resize(most);
        at = own.data();
    }
    BatchDecoder decoder({at});
    feed(decoder);
    decoder.Finish();
    take(std::string_view(at, static_cast<std::size_t>(decoder.output().at - at)));
}

}  // namespace

void DecodeBase64Batch(std::string_view text, std::string& bytes) {
    DecodeInto(
        text.size(), [&](BatchDecoder& decoder) { decoder.Feed(text); },
        [&](std::string_view decoded) { bytes.assign(decoded); });
}

namespace {

// Each scheme's candidate step, made once rather than for every link.
template <std::size_t... I>
constexpr std::array<rules::CandidateStep, sizeof...(I)> CandidateSteps(std::index_sequence<I...>) {
    return {rules::CandidateStep(kLinkSchemes[I].prefix)...};
}
constexpr auto kCandidateSteps =
    CandidateSteps(std::make_index_sequence<std::size(kLinkSchemes)>());

// The batch decoding of the payload of `pasted`: the removal stops where decoding does.
auto DecodePayload(std::string_view pasted) {
    return [pasted](const LinkScheme& scheme, auto take) {
        DecodeInto(
            pasted.size(),
            [&](BatchDecoder& decoder) {
                rules::RemovePrefixPass(pasted, scheme.prefix,
                                        kCandidateSteps[&scheme - kLinkSchemes],
                                        [&](std::string_view kept) { return decoder.Feed(kept); });
            },
            take);
    };
}

}  // namespace

void UnwrapPayloadBatch(std::string_view pasted, const LinkScheme& scheme, std::string& decoded) {
    rules::PayloadStep(scheme, DecodePayload(pasted), decoded);
}

BatchUnwrap UnwrapPlainLinkBatch(std::string_view pasted, const LinkScheme& scheme,
                                 std::string& address) {
    const std::string_view payload = pasted.substr(scheme.prefix.size());
    DecodeInto(
        payload.size(), [&](BatchDecoder& decoder) { decoder.Feed(payload); },
        [&](std::string_view decoded) { address.assign(rules::AddressIn(decoded, scheme)); });
    return {UnwrapOutcome::Decoded, &scheme};
}

BatchUnwrap UnwrapDownloadLinkBatch(std::string_view pasted, std::string& address) {
    BatchUnwrap result{UnwrapOutcome::Ignored, nullptr};
    result.outcome = rules::UnwrapSteps(pasted, DecodePayload(pasted), address, result.scheme);
    return result;
}

}  // namespace linkdecode
