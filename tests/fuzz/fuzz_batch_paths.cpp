// Runs the dialog's functions and the batch path on every input, bare and behind each prefix, and
// aborts on the first difference in outcome, scheme or bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/link_unwrap.h"

namespace {

// Reused across inputs, as the tool reuses it, so that stale bytes would show.
std::string bytes;

void CompareUnwrap(const std::string& pasted) {
    const linkdecode::UnwrapResult dialog = linkdecode::UnwrapDownloadLink(pasted);
    const linkdecode::BatchUnwrap batch = linkdecode::UnwrapDownloadLinkBatch(pasted, bytes);
    const linkdecode::LinkScheme* scheme = dialog.outcome == linkdecode::UnwrapOutcome::Decoded
                                               ? linkdecode::MatchLinkScheme(pasted)
                                               : nullptr;
    if (batch.outcome != dialog.outcome || batch.scheme != scheme || bytes != dialog.text)
        std::abort();
    if (scheme == nullptr)
        return;
    linkdecode::UnwrapPayloadBatch(pasted, *scheme, bytes);
    if (bytes != linkdecode::UnwrapPayload(pasted, *scheme))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    linkdecode::DecodeBase64Batch(input, bytes);
    if (bytes != linkdecode::DecodeBase64Text(input))
        std::abort();
    CompareUnwrap(input);
    for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes)
        CompareUnwrap(std::string(scheme.prefix) + input);
    return 0;
}
