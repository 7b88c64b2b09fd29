#include "linkdecode/batch_unwrap.h"

#include "linkdecode/unwrap_loops.h"

namespace linkdecode {

namespace {

using BatchDecoder = rules::RunDecoder<rules::ValueTable, rules::WriteIntoRoom>;

// Decodes into `bytes` what `feed` hands the decoder out of `size` bytes of text.
template <typename Feed>
void DecodeInto(std::size_t size, std::string& bytes, Feed feed) {
    bytes.resize(size / 4 * 3 + 3);  // the most `size` bytes can decode to
    BatchDecoder decoder({bytes.data()});
    feed(decoder);
    decoder.Finish();
    bytes.resize(static_cast<std::size_t>(decoder.output().at - bytes.data()));
}

}  // namespace

void DecodeBase64Batch(std::string_view text, std::string& bytes) {
    DecodeInto(text.size(), bytes, [&](BatchDecoder& decoder) { decoder.Feed(text); });
}

namespace {

// The batch decoding of the payload of `pasted`: the removal stops where decoding does.
auto DecodePayload(std::string_view pasted) {
    return [pasted](const LinkScheme& scheme, std::string& out) {
        DecodeInto(pasted.size(), out, [&](BatchDecoder& decoder) {
            rules::RemovePrefixPass(pasted, scheme.prefix, rules::CandidateStep(scheme.prefix),
                                    [&](std::string_view kept) { return decoder.Feed(kept); });
        });
    };
}

}  // namespace

void UnwrapPayloadBatch(std::string_view pasted, const LinkScheme& scheme, std::string& decoded) {
    rules::PayloadStep(scheme, DecodePayload(pasted), decoded);
}

BatchUnwrap UnwrapDownloadLinkBatch(std::string_view pasted, std::string& address) {
    BatchUnwrap result{UnwrapOutcome::Ignored, nullptr};
    result.outcome = rules::UnwrapSteps(pasted, DecodePayload(pasted), address, result.scheme);
    return result;
}

}  // namespace linkdecode
