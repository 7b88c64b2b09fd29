#include "linkdecode/json_record.h"

#include <charconv>

#include "linkdecode/base64_encoder.h"
#include "linkdecode/repairs.h"

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
    if (line != 0) {
        char digits[20];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, line).ptr);
    } else {
        out += "null";
    }
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
        out += ",\"bytes\":\"";
        AppendBase64Text(reading.address, out);  // Base64 symbols need no JSON escape
        out += '"';
    } else {
        out += ",\"address\":null,\"charset\":null,\"bytes\":null";
    }
    out += ",\"repairs\":[";
    if (reading.repairs != 0) {
        // Ids are ASCII words: they need no escape.
        out += '"';
        AppendRepairList(reading.repairs, RepairText::Id, "\",\"", out);
        out += '"';
    }
    out += "]}\n";
}

}  // namespace linkdecode
