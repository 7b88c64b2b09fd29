#include "linkdecode/link_reader.h"

#include "linkdecode/batch_unwrap.h"
#include "linkdecode/repair_readings.h"

namespace linkdecode {

void ReadLink(std::string_view input, ReadOptions options, LinkReading& reading,
              const LinkScheme* plainScheme) {
    if (options.mode == ReadMode::Repair) {
        reading = ReadRepairedLink(input);
    } else {
        const BatchUnwrap result = plainScheme != nullptr
                                       ? UnwrapPlainLinkBatch(input, *plainScheme, reading.address)
                                       : UnwrapDownloadLinkBatch(input, reading.address);
        reading.outcome = ReadOutcomeOf(result.outcome);
        reading.scheme = result.scheme;
        reading.detail.clear();
        reading.repairs = 0;
        reading.repairWouldDecode = false;
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
}

LinkReading ReadLink(std::string_view input, ReadOptions options) {
    LinkReading reading;
    ReadLink(input, options, reading);
    return reading;
}

}  // namespace linkdecode
