#include "linkdecode/json_record.h"

#include <array>
#include <charconv>
#include <cstring>

#include "linkdecode/address_check.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/repairs.h"

namespace linkdecode {

namespace {

// What a field's JSON starts with: `{"input":`, `,"line":`, made from kRecordFields once.
struct KeyText {
    char text[24] = {};
    std::size_t size = 0;
};

constexpr std::array<KeyText, std::size(kRecordFields)> kKeys = [] {
    std::array<KeyText, std::size(kRecordFields)> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        KeyText& key = keys[i];
        const auto put = [&key](std::string_view text) {
            for (const char c : text)
                key.text[key.size++] = c;
        };
        put(i == 0 ? "{\"" : ",\"");
        put(kRecordFields[i].name);
        put("\":");
    }
    return keys;
}();

// The short fields between the renderings are gathered on the stack and appended once, so a
// record costs a few appends and not a dozen. Every word written unquoted here is a lower- or
// upper-case ASCII word, which JSON takes as it is.
class Fields {
public:
    void Put(std::string_view text) {
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void Key(RecordField field) {
        const KeyText& key = kKeys[static_cast<std::size_t>(field)];
        Put({key.text, key.size});
    }
    void PutWord(std::string_view word) {
        *at_++ = '"';
        Put(word);
        *at_++ = '"';
    }
    void PutNumber(std::uint64_t number) { at_ = std::to_chars(at_, at_ + 20, number).ptr; }
    void PutBool(bool value) { Put(value ? "true" : "false"); }
    // Appends what was gathered to `out` and starts over.
    void Flush(std::string& out) {
        out.append(text_, static_cast<std::size_t>(at_ - text_));
        at_ = text_;
    }

private:
    char text_[256];
    char* at_ = text_;
};

static_assert(static_cast<int>(RecordField::Charset) ==
                      static_cast<int>(RecordField::Address) + 1 &&
                  static_cast<int>(RecordField::Bytes) ==
                      static_cast<int>(RecordField::Address) + 2,
              "an address's charset and bytes are written with it, right after it");

constexpr bool IsPlainWord(std::string_view word) {
    for (const char c : word) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return !word.empty() && word.size() <= 20;
}

constexpr bool EveryWordIsPlain() {
    for (const LinkScheme& scheme : kLinkSchemes) {
        if (!IsPlainWord(scheme.name))
            return false;
    }
    for (const RecordFieldInfo& field : kRecordFields) {
        if (!IsPlainWord(field.name))
            return false;
    }
    return true;
}
static_assert(EveryWordIsPlain(), "scheme and field names are written without a JSON escape");

// The bytes of a row's excerpt of its input, before the ellipsis.
constexpr std::size_t kShownInputBytes = 120;

// The most bytes a rendering writes for one byte read: a control as \u00XX.
constexpr std::size_t kMostPerByte = 6;
// Field names, quotes, the line number, the names and the repair ids.
constexpr std::size_t kFixedBytes = 640;

// Appends the address of a Decoded reading as its JSON string; returns the charset used.
Charset AppendAddress(std::string_view address, AddressFormat format, GbConverter& gb,
                      std::string& out) {
    if (!format.percentEncode)
        return RenderJsonString(address, format.charset, gb, out);
    // Percent-encoded text is ASCII: rendered in place, and escaped only if it must be.
    out += '"';
    const std::size_t start = out.size();
    const Charset used = RenderPercentEncoded(address, format.charset, gb, out);
    const std::string_view rendered(out.data() + start, out.size() - start);
    if (rendered.find_first_of("\"\\") == std::string_view::npos) {
        out += '"';
    } else {
        const std::string percent(rendered);
        out.resize(start - 1);
        AppendJsonAscii(percent, out);
    }
    return used;
}

}  // namespace

void AppendJsonRecord(const LinkRecord& record, AddressFormat format, FieldScope scope,
                      GbConverter& gb, std::string& out) {
    const LinkReading& reading = record.reading;
    const std::string_view address = reading.address;
    const bool decoded = !record.tooLong && reading.outcome == ReadOutcome::Decoded;
    // One reservation, so no append of the record moves what came before it.
    out.reserve(out.size() + kFixedBytes + kMostPerByte * record.input.size() +
                (kMostPerByte + 2) * address.size() + kMostPerByte * reading.detail.size());
    // The fields in the order of kRecordFields, which RecordFieldsInOrder holds to their enum.
    Fields fields;
    fields.Key(RecordField::Input);
    fields.Flush(out);
    RenderJsonString(record.input, Charset::Auto, gb, out);
    fields.Key(RecordField::Line);
    if (record.line != 0)
        fields.PutNumber(record.line);
    else
        fields.Put("null");
    fields.Key(RecordField::Scheme);
    if (reading.scheme != nullptr)
        fields.PutWord(reading.scheme->name);
    else
        fields.Put("null");
    fields.Key(RecordField::Outcome);
    fields.PutWord(OutcomeName(record));
    fields.Key(RecordField::Address);
    if (decoded) {
        fields.Flush(out);
        const Charset used = AppendAddress(address, format, gb, out);
        fields.Key(RecordField::Charset);
        fields.PutWord(CharsetName(used));
        fields.Key(RecordField::Bytes);
        fields.Put("\"");
        fields.Flush(out);
        AppendBase64Text(address, out);  // Base64 symbols need no JSON escape
        fields.Put("\"");
    } else {
        fields.Put("null");
        fields.Key(RecordField::Charset);
        fields.Put("null");
        fields.Key(RecordField::Bytes);
        fields.Put("null");
    }
    fields.Key(RecordField::Repairs);
    fields.Put("[");
    if (reading.repairs != 0) {
        // Ids are ASCII words: they need no escape.
        fields.Put("\"");
        fields.Flush(out);
        AppendRepairList(reading.repairs, RepairText::Id, "\",\"", out);
        fields.Put("\"");
    }
    fields.Put("]");
    fields.Key(RecordField::Detail);
    if (!record.tooLong && (reading.outcome == ReadOutcome::NotAnAddress ||
                            reading.outcome == ReadOutcome::CutShort)) {
        fields.Flush(out);
        RenderJsonString(reading.detail, Charset::Auto, gb, out);
    } else {
        fields.Put("null");
    }
    if (scope >= FieldScope::Row) {
        fields.Key(RecordField::InputShown);
        fields.Flush(out);
        AppendShownInput(record.input, gb, out);
        fields.Key(RecordField::TooLong);
        fields.PutBool(record.tooLong);
        fields.Key(RecordField::RepairWouldDecode);
        fields.PutBool(reading.repairWouldDecode);
        fields.Key(RecordField::Openable);
        fields.PutBool(decoded && reading.HasAddress() && IsOpenableAddress(address));
    }
    if (scope >= FieldScope::Rendered && !(decoded && reading.HasAddress())) {
        for (const RecordField field :
             {RecordField::AddressShown, RecordField::PercentOwn, RecordField::PercentUtf8}) {
            fields.Key(field);
            fields.Put("null");
        }
    }
    fields.Put("}\n");
    fields.Flush(out);
}

void AppendShownInput(std::string_view input, GbConverter& gb, std::string& out) {
    RenderJsonString(RenderExcerpt(input, kShownInputBytes, "\xE2\x80\xA6", gb), Charset::Utf8, gb,
                     out);
}

void AppendRenderedFields(std::string_view bytes, Charset charset, GbConverter& gb,
                          std::string& out) {
    std::string rendered;
    for (const RecordFieldInfo& info : kRecordFields) {
        if (info.scope != FieldScope::Rendered)
            continue;
        out += info.field == RecordField::AddressShown ? "{\"" : ",\"";
        out += info.name;
        out += "\":";
        rendered.clear();
        switch (info.field) {
            case RecordField::AddressShown:
                RenderText(bytes, charset, gb, rendered);
                RenderJsonString(rendered, Charset::Utf8, gb, out);
                continue;
            case RecordField::PercentOwn:
                RenderPercentEncoded(bytes, Charset::Raw, gb, rendered);
                break;
            default:
                RenderPercentEncoded(bytes, charset, gb, rendered);
                break;
        }
        AppendJsonAscii(rendered, out);
    }
    out += '}';
}

}  // namespace linkdecode
