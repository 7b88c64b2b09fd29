#include "linkdecode/link_reader.h"

#include <utility>

#include "linkdecode/link_repair.h"

namespace linkdecode {

LinkReading ReadLink(std::string_view input, ReadOptions options) {
    LinkReading reading;
    if (options.mode == ReadMode::Repair) {
        reading = ReadRepairedLink(input);
    } else {
        const std::string pasted(input);
        UnwrapResult result = UnwrapDownloadLink(pasted);
        reading.outcome = result.outcome;
        if (result.outcome == UnwrapOutcome::Decoded)
            reading.scheme = MatchLinkScheme(pasted);
        reading.address = std::move(result.text);
        reading.inputLength = input.size();
        if (!reading.HasAddress())
            reading.repairWouldDecode = ReadRepairedLink(input).HasAddress();
    }
    reading.charset = ResolveCharset(reading.address, options.charset);
    if (options.mode == ReadMode::Repair && options.charset == Charset::Auto &&
        reading.charset == Charset::Utf8 && IsChineseOnlyAsGbk(reading.address)) {
        reading.charset = Charset::Gbk;
        reading.repairs |= kRepairGbkReading;
    }
    return reading;
}

}  // namespace linkdecode
