#include "linkdecode/json_record.h"

#include "linkdecode/base64_encoder.h"
#include "linkdecode/link_repair.h"

namespace linkdecode {

namespace {

const char* OutcomeName(UnwrapOutcome outcome) {
    switch (outcome) {
        case UnwrapOutcome::Decoded:
            return "Decoded";
        case UnwrapOutcome::NotALink:
            return "NotALink";
        case UnwrapOutcome::Ignored:
            break;
    }
    return "Ignored";
}

}  // namespace

void AppendJsonRecord(std::string_view input, std::uint64_t line, const LinkReading& reading,
                      AddressFormat format, GbConverter& gb, std::string& out) {
    out += "{\"input\":";
    RenderJsonString(input, Charset::Auto, gb, out);
    out += ",\"line\":";
    out += line != 0 ? std::to_string(line) : "null";
    out += ",\"scheme\":";
    if (reading.scheme != nullptr)
        AppendJsonAscii(reading.scheme->name, out);
    else
        out += "null";
    out += ",\"outcome\":";
    AppendJsonAscii(OutcomeName(reading.outcome), out);
    if (reading.outcome == UnwrapOutcome::Decoded) {
        out += ",\"address\":";
        Charset used;
        if (format.percentEncode) {
            std::string percent;
            used = RenderPercentEncoded(reading.address, format.charset, gb, percent);
            AppendJsonAscii(percent, out);
        } else {
            used = RenderJsonString(reading.address, format.charset, gb, out);
        }
        out += ",\"charset\":";
        AppendJsonAscii(CharsetName(used), out);
        out += ",\"bytes\":";
        AppendJsonAscii(EncodeBase64Text(reading.address), out);
    } else {
        out += ",\"address\":null,\"charset\":null,\"bytes\":null";
    }
    out += ",\"repairs\":[";
    const char* separator = "";
    for (const LinkRepairInfo& info : kLinkRepairs) {
        if ((reading.repairs & info.repair) == 0)
            continue;
        out += separator;
        AppendJsonAscii(info.id, out);
        separator = ",";
    }
    out += "]}\n";
}

}  // namespace linkdecode
