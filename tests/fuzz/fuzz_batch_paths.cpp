// Runs the dialog's functions and the batch path, at every vector level the processor offers, on
// every input, bare and behind each prefix, and aborts on the first difference in outcome, scheme
// or bytes; and reads every link a Strict session finds in the input as the dialog reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "linkdecode/base64_decoder.h"
#include "linkdecode/batch_unwrap.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/reading_session.h"
#include "linkdecode/simd/simd_level.h"

namespace {

// Every level, or only the one VELTRUN_SIMD names, for a run of each level on its own.
const std::vector<linkdecode::simd::Level> kLevels =
    std::getenv("VELTRUN_SIMD") != nullptr
        ? std::vector<linkdecode::simd::Level>{linkdecode::simd::ActiveLevel()}
        : linkdecode::simd::SupportedLevels();

// Reused across inputs, as the tool reuses it, so that stale bytes would show.
std::string bytes;

void CompareUnwrap(const std::string& pasted) {
    const linkdecode::UnwrapResult dialog = linkdecode::UnwrapDownloadLink(pasted);
    const linkdecode::LinkScheme* scheme = dialog.outcome == linkdecode::UnwrapOutcome::Decoded
                                               ? linkdecode::MatchLinkScheme(pasted)
                                               : nullptr;
    const std::string payload =
        scheme != nullptr ? linkdecode::UnwrapPayload(pasted, *scheme) : std::string();
    for (const linkdecode::simd::Level level : kLevels) {
        linkdecode::simd::ForceLevel(level);
        const linkdecode::BatchUnwrap batch = linkdecode::UnwrapDownloadLinkBatch(pasted, bytes);
        if (batch.outcome != dialog.outcome || batch.scheme != scheme || bytes != dialog.text)
            std::abort();
        if (scheme == nullptr)
            continue;
        linkdecode::UnwrapPayloadBatch(pasted, *scheme, bytes);
        if (bytes != payload)
            std::abort();
    }
}

// Each record of a Strict session, which reads found links by a shorter way where the finder saw
// enough, against the dialog's reading of the same link.
void CompareSession(const std::string& text) {
    linkdecode::ReadingSession session({{linkdecode::ReadMode::Strict, linkdecode::Charset::Raw}});
    // Two pieces, so that links are also put together across a cut.
    session.Feed(std::string_view(text).substr(0, text.size() / 2));
    session.Feed(std::string_view(text).substr(text.size() / 2));
    session.Finish();
    while (const linkdecode::LinkRecord* record = session.Next()) {
        if (record->tooLong)
            continue;
        const linkdecode::UnwrapResult dialog =
            linkdecode::UnwrapDownloadLink(std::string(record->input));
        if (record->reading.outcome != linkdecode::ReadOutcomeOf(dialog.outcome) ||
            record->reading.address != dialog.text)
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string decoded = linkdecode::DecodeBase64Text(input);
    for (const linkdecode::simd::Level level : kLevels) {
        linkdecode::simd::ForceLevel(level);
        linkdecode::DecodeBase64Batch(input, bytes);
        if (bytes != decoded)
            std::abort();
    }
    CompareUnwrap(input);
    for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes)
        CompareUnwrap(std::string(scheme.prefix) + input);
    for (const linkdecode::simd::Level level : kLevels) {
        linkdecode::simd::ForceLevel(level);
        CompareSession(input);
    }
    return 0;
}
