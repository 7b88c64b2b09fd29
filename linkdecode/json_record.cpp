#include "linkdecode/json_record.h"

#include <charconv>
#include <cstring>

#include "linkdecode/base64_encoder.h"
#include "linkdecode/repairs.h"

namespace linkdecode {

namespace {

// The fields between the renderings are short and known: gathered on the stack and appended
// once, so a record costs a few appends and not a dozen. Every word written unquoted here is a
// lower- or upper-case ASCII word, which JSON takes as it is.
class Fields {
public:
    void Put(std::string_view text) {
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void PutWord(std::string_view word) {
        *at_++ = '"';
        Put(word);
        *at_++ = '"';
    }
    void PutNumber(std::uint64_t number) { at_ = std::to_chars(at_, at_ + 20, number).ptr; }
    void AppendTo(std::string& out) const {
        out.append(text_, static_cast<std::size_t>(at_ - text_));
    }

private:
    char text_[128];
    char* at_ = text_;
};

constexpr bool IsPlainWord(std::string_view word) {
    for (const char c : word) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return !word.empty() && word.size() <= 16;
}

constexpr bool EverySchemeNameIsPlain() {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (!IsPlainWord(scheme.name))
            return false;
    }
    return true;
}
static_assert(EverySchemeNameIsPlain(), "scheme names are written without a JSON escape");

// The most bytes a rendering writes for one byte read: a control as \u00XX.
constexpr std::size_t kMostPerByte = 6;
// Field names, quotes, the line number, the names and the repair ids.
constexpr std::size_t kFixedBytes = 512;

}  // namespace

void AppendJsonRecord(std::string_view input, std::uint64_t line, const LinkReading& reading,
                      AddressFormat format, GbConverter& gb, std::string& out) {
    const std::string_view address = reading.address;
    // One reservation, so no append of the record moves what came before it.
    out.reserve(out.size() + kFixedBytes + kMostPerByte * input.size() +
                (kMostPerByte + 2) * address.size() + kMostPerByte * reading.detail.size());
    out.append("{\"input\":");
    RenderJsonString(input, Charset::Auto, gb, out);

    Fields fields;
    fields.Put(",\"line\":");
    if (line != 0)
        fields.PutNumber(line);
    else
        fields.Put("null");
    fields.Put(",\"scheme\":");
    if (reading.scheme != nullptr)
        fields.PutWord(reading.scheme->name);
    else
        fields.Put("null");
    fields.Put(",\"outcome\":");
    fields.PutWord(ReadOutcomeRow(reading.outcome).name);
    if (reading.outcome != ReadOutcome::Decoded) {
        fields.Put(",\"address\":null,\"charset\":null,\"bytes\":null,\"repairs\":[");
        fields.AppendTo(out);
    } else {
        fields.Put(",\"address\":");
        fields.AppendTo(out);
        Charset used;
        if (format.percentEncode) {
            // Percent-encoded text is ASCII: rendered in place, and escaped only if it must be.
            out += '"';
            const std::size_t start = out.size();
            used = RenderPercentEncoded(address, format.charset, gb, out);
            const std::string_view rendered(out.data() + start, out.size() - start);
            if (rendered.find_first_of("\"\\") == std::string_view::npos) {
                out += '"';
            } else {
                const std::string percent(rendered);
                out.resize(start - 1);
                AppendJsonAscii(percent, out);
            }
        } else {
            used = RenderJsonString(address, format.charset, gb, out);
        }
        Fields tail;
        tail.Put(",\"charset\":");
        tail.PutWord(CharsetName(used));
        tail.Put(",\"bytes\":\"");
        tail.AppendTo(out);
        AppendBase64Text(address, out);  // Base64 symbols need no JSON escape
        out.append("\",\"repairs\":[");
    }
    if (reading.repairs != 0) {
        // Ids are ASCII words: they need no escape.
        out += '"';
        AppendRepairList(reading.repairs, RepairText::Id, "\",\"", out);
        out += '"';
    }
    out.append("],\"detail\":");
    if (reading.outcome == ReadOutcome::NotAnAddress || reading.outcome == ReadOutcome::CutShort)
        RenderJsonString(reading.detail, Charset::Auto, gb, out);
    else
        out.append("null");
    out.append("}\n");
}

}  // namespace linkdecode
