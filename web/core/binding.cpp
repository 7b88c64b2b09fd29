// The core's C exports for web/core/veltrun-core.js, over the module's memory, and two imports
// through which JavaScript converts GB18030, the one thing the portable core leaves to its front
// end.
//
// Every result is JSON (valid UTF-8, whatever the input): rows are the core's JSON records of a
// reading session (AppendJsonRecord, the fields `veltrun --json` writes and those of rows), so
// the script reads fields by name and never by position. Records cross in ASCII, their other
// characters as JSON escapes (SetAsciiResult).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/charset.h"
#include "linkdecode/json_record.h"
#include "linkdecode/link_wrap.h"
#include "linkdecode/reading_session.h"
#include "linkdecode/repairs.h"
#include "linkdecode/text_render.h"

#define VT_EXPORT(name) extern "C" __attribute__((export_name(#name)))
#define VT_IMPORT(name) __attribute__((import_module("env"), import_name(#name)))

extern "C" {
// Each converts `in` into at most `capacity` bytes at `out` and returns the length written,
// or -1 when the input is not well-formed or holds a character the other side lacks.
VT_IMPORT(gb18030_to_utf8)
int BrowserGbToUtf8(const char* in, std::size_t length, char* out, std::size_t capacity);
VT_IMPORT(utf8_to_gb18030)
int BrowserUtf8ToGb(const char* in, std::size_t length, char* out, std::size_t capacity);
}

namespace {

using linkdecode::Charset;
using linkdecode::ReadingSession;
// The charsets a reading may be asked for; the script passes an index into this list, which
// vt_info gives it by name.
constexpr Charset kReadCharsets[] = {Charset::Auto, Charset::Gbk, Charset::Utf8};

std::string g_result;

// GB18030 through JavaScript's TextDecoder and the reverse map the script builds from it.
class ImportedGbConverter : public linkdecode::GbConverter {
public:
    bool ToUtf8(std::string_view gb, std::string& utf8) override {
        return Convert(BrowserGbToUtf8, gb, utf8);
    }
    bool FromUtf8(std::string_view utf8, std::string& gb) override {
        return Convert(BrowserUtf8ToGb, utf8, gb);
    }

private:
    template <typename Import>
    static bool Convert(Import import, std::string_view in, std::string& out) {
        // Either way a byte becomes at most two (a two-byte UTF-8 character may take four
        // bytes in GB18030, a two-byte GB18030 character three in UTF-8).
        out.resize(in.size() * 2);
        const int written = import(in.data(), in.size(), out.data(), out.size());
        if (written < 0)
            return false;
        out.resize(static_cast<std::size_t>(written));
        return true;
    }
};

ImportedGbConverter g_gb;

// Records as they are written, before SetAsciiResult makes them the result.
std::string g_records;

// Appends the JSON escape of a UTF-16 code unit.
void AppendEscape(std::uint32_t unit, std::string& out) {
    const char kHex[] = "0123456789abcdef";
    const char escape[] = {
        '\\',           'u', kHex[unit >> 12], kHex[(unit >> 8) & 15], kHex[(unit >> 4) & 15],
        kHex[unit & 15]};
    out.append(escape, sizeof escape);
}

// Sets the result to the well-formed UTF-8 JSON `json` with every character beyond ASCII written
// as a \u escape (a surrogate pair beyond U+FFFF): the script's UTF-8 decoding and JSON.parse
// take ASCII several times as fast as text with Chinese in it, more than this pass costs.
void SetAsciiResult(const std::string& json) {
    std::string& out = g_result;
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(json.data());
    const std::size_t size = json.size();
    std::size_t i = 0;
    while (i < size) {
        std::size_t end = i;
        for (std::uint64_t word = 0; size - end >= sizeof word; end += sizeof word) {
            std::memcpy(&word, p + end, sizeof word);
            if ((word & 0x8080808080808080u) != 0)
                break;
        }
        while (end < size && p[end] < 0x80)
            ++end;
        out.append(json, i, end - i);
        if (end == size)
            break;
        const unsigned lead = p[end];
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        std::uint32_t codePoint = lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k)
            codePoint = codePoint << 6 | (p[end + k] & 0x3Fu);
        if (codePoint >= 0x10000) {
            AppendEscape(0xD800 | (codePoint - 0x10000) >> 10, out);
            AppendEscape(0xDC00 | (codePoint & 0x3FF), out);
        } else {
            AppendEscape(codePoint, out);
        }
        i = end + length;
    }
}

// kReadCharsets[index]; an index the script did not take from vt_info stops the module (a trap
// the script reports) rather than read past the list.
Charset ReadCharsetAt(std::size_t index) {
    if (index >= std::size(kReadCharsets))
        __builtin_trap();
    return kReadCharsets[index];
}

// Appends the JSON record of a row, without its line break.
void AppendRow(const linkdecode::LinkRecord& record, std::string& out) {
    linkdecode::AppendJsonRecord(record, {record.reading.charset, false},
                                 linkdecode::FieldScope::Rendered, g_gb, out);
    out.pop_back();
}

// Appends the records a session has ready, at most `count`, as JSON array elements; returns how
// many.
std::size_t AppendRows(ReadingSession& session, std::size_t count, std::string& out) {
    std::size_t written = 0;
    for (; written < count; ++written) {
        const linkdecode::LinkRecord* record = session.Next();
        if (record == nullptr)
            break;
        if (written != 0)
            out += ',';
        AppendRow(*record, out);
    }
    return written;
}

linkdecode::SessionOptions SessionOf(int repair, std::size_t charset, int wholeIfNone) {
    return {{repair != 0 ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict,
             ReadCharsetAt(charset)},
            wholeIfNone != 0,
            true};
}

// Gives the bytes of a text read in the charset it is in, UTF-8 or else GB18030, as UTF-8;
// bytes that start no character become U+FFFD.
class ReplacingSink : public linkdecode::TextSink {
public:
    explicit ReplacingSink(std::string& out) : out_(out) {}
    void Text(std::string_view utf8) override { out_.append(utf8); }
    void Invalid(unsigned char) override { out_ += "\xEF\xBF\xBD"; }

private:
    std::string& out_;
};

}  // namespace

// Returns `size` bytes the script fills before a call, or nullptr; free them with vt_free.
VT_EXPORT(vt_alloc) char* vt_alloc(std::size_t size) {
    return static_cast<char*>(std::malloc(size));
}

// Frees what vt_alloc returned.
VT_EXPORT(vt_free) void vt_free(char* bytes) {
    std::free(bytes);
}

// The bytes of the latest result, valid until the next call.
VT_EXPORT(vt_result) const char* vt_result() {
    return g_result.data();
}

// The length of the latest result.
VT_EXPORT(vt_result_size) std::size_t vt_result_size() {
    return g_result.size();
}

// Sets the result to what the core tells of itself: {"version", "maxLinkBytes", "schemes"
// (names), "charsets" (the names the other calls take by index), "repairs" ([{"id",
// "description"}], in the order records list them), "recordFields" ([{"name", "scope"}] in the
// order records hold them: "every" front end's, a "row"'s, "rendered" when first read)}.
VT_EXPORT(vt_info) void vt_info() {
    std::string& out = g_result;
    out = "{\"version\":";
    linkdecode::AppendJsonAscii(VELTRUN_VERSION, out);
    out += ",\"maxLinkBytes\":" + std::to_string(ReadingSession::MaxLinkBytes()) + ",\"schemes\":[";
    for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes) {
        out += &scheme == linkdecode::kLinkSchemes ? "" : ",";
        linkdecode::AppendJsonAscii(scheme.name, out);
    }
    out += "],\"charsets\":[";
    for (const Charset charset : kReadCharsets) {
        out += charset == kReadCharsets[0] ? "" : ",";
        linkdecode::AppendJsonAscii(linkdecode::CharsetName(charset), out);
    }
    out += "],\"repairs\":[";
    for (const linkdecode::LinkRepairInfo& repair : linkdecode::kLinkRepairs) {
        out += &repair == linkdecode::kLinkRepairs ? "{\"id\":" : ",{\"id\":";
        linkdecode::AppendJsonAscii(repair.id, out);
        out += ",\"description\":";
        linkdecode::AppendJsonAscii(repair.description, out);
        out += '}';
    }
    out += "],\"recordFields\":[";
    const char* const scopes[] = {"every", "row", "rendered"};
    for (const linkdecode::RecordFieldInfo& field : linkdecode::kRecordFields) {
        out += &field == linkdecode::kRecordFields ? "{\"name\":" : ",{\"name\":";
        linkdecode::AppendJsonAscii(field.name, out);
        out += ",\"scope\":";
        linkdecode::AppendJsonAscii(scopes[static_cast<int>(field.scope)], out);
        out += '}';
    }
    out += "]}";
}

// Sets the result to the record of `size` bytes of `link` read whole, as one link given on the
// command line: in repair mode when `repair` is not 0, shown in kReadCharsets[charset].
VT_EXPORT(vt_unwrap)
void vt_unwrap(const char* link, std::size_t size, int repair, std::size_t charset) {
    ReadingSession session(SessionOf(repair, charset, 0));
    g_records.clear();
    AppendRow(session.ReadWhole({link, size}), g_records);
    SetAsciiResult(g_records);
}

// Sets the result to a JSON array of the renderings of records' addresses, given as `size` bytes
// of addresses, each a 32-bit little-endian length, a byte with its index in kReadCharsets (the
// record's "charset") and that many bytes: [{"addressShown" (controls and direction marks as
// \xNN, as RenderText shows it), "percentOwn" (percent-encoded from the bytes themselves),
// "percentUtf8" (from the text read)}].
VT_EXPORT(vt_render) void vt_render(const char* data, std::size_t size) {
    std::string& out = g_records;
    out = "[";
    for (std::size_t at = 0; at < size;) {
        std::uint32_t length = 0;
        if (size - at <= sizeof length)
            __builtin_trap();  // not the script's layout
        std::memcpy(&length, data + at, sizeof length);
        const Charset read = ReadCharsetAt(static_cast<unsigned char>(data[at + sizeof length]));
        at += sizeof length + 1;
        if (length > size - at)
            __builtin_trap();
        if (out.size() != 1)
            out += ',';
        linkdecode::AppendRenderedFields({data + at, length}, read, g_gb, out);
        at += length;
    }
    out += ']';
    SetAsciiResult(out);
}

// Starts decoding a text, which vt_decode_feed then gives in pieces; as vt_unwrap for `repair`
// and `charset`. With `wholeIfNone`, a text that holds no link but is not blank becomes one row,
// read whole as the dialog reads a paste. Returns the session the other vt_decode_ calls take;
// vt_decode_end frees it.
VT_EXPORT(vt_decode_begin)
ReadingSession* vt_decode_begin(int repair, std::size_t charset, int wholeIfNone) {
    return new ReadingSession(SessionOf(repair, charset, wholeIfNone));
}

// Frees a session.
VT_EXPORT(vt_decode_end) void vt_decode_end(ReadingSession* session) {
    delete session;
}

// Finds the links in the next `size` bytes of the text of `session`; where the pieces are cut
// changes nothing.
VT_EXPORT(vt_decode_feed)
void vt_decode_feed(const char* piece, std::size_t size, ReadingSession* session) {
    session->Feed({piece, size});
    session->KeepPending();  // the script frees the piece when this returns
}

// Ends the text (and reads it whole when vt_decode_begin asked for that and it holds no link).
// Sets the result to what repair mode would find more (nothing in repair
// mode): {"count", "repairs" (the ids of the repairs those links need), "text" (their English
// descriptions, comma separated)}.
VT_EXPORT(vt_decode_finish) void vt_decode_finish(ReadingSession* session) {
    session->Finish();
    const linkdecode::MissedLinks& missed = session->MissedInRepair();
    std::string& out = g_result;
    out = "{\"count\":" + std::to_string(missed.count) + ",\"repairs\":[";
    if (missed.repairs != 0) {
        out += '"';
        linkdecode::AppendRepairList(missed.repairs, linkdecode::RepairText::Id, "\",\"", out);
        out += '"';
    }
    out += "],\"text\":";
    std::string text;
    linkdecode::AppendRepairList(missed.repairs, linkdecode::RepairText::Description, ", ", text);
    linkdecode::AppendJsonAscii(text, out);
    out += '}';
}

// Sets the result to a JSON array of the records of the next links found so far, at most
// `count`, and returns how many it holds.
VT_EXPORT(vt_decode_next)
std::size_t vt_decode_next(ReadingSession* session, std::size_t count) {
    std::string& out = g_records;
    out = "[";
    const std::size_t written = AppendRows(*session, count, out);
    out += ']';
    SetAsciiResult(out);
    return written;
}

// Finds the links of many short texts at once, each read on its own as a decoding session reads
// a whole text: `size` bytes of texts, each a 32-bit little-endian length and that many bytes.
// Sets the result to a JSON array with the array of records of each text.
VT_EXPORT(vt_find_each)
void vt_find_each(const char* data, std::size_t size, int repair, std::size_t charset,
                  int wholeIfNone) {
    ReadingSession session(SessionOf(repair, charset, wholeIfNone));
    std::string& out = g_records;
    out = "[";
    for (std::size_t at = 0; at < size;) {
        std::uint32_t length = 0;
        if (size - at < sizeof length)
            __builtin_trap();  // not the script's layout
        std::memcpy(&length, data + at, sizeof length);
        at += sizeof length;
        if (length > size - at)
            __builtin_trap();
        session.Feed({data + at, length});
        session.Finish();
        at += length;
        out += out.size() == 1 ? "[" : ",[";
        AppendRows(session, SIZE_MAX, out);
        out += ']';
    }
    out += ']';
    SetAsciiResult(out);
}

// Makes the link of kLinkSchemes[scheme] for the `size` bytes of `address`, from its UTF-8
// bytes or, with `gbk`, its GB18030 bytes. Sets the result to {"link"} or {"refusal"}, the
// core's WrapRefusalId.
VT_EXPORT(vt_wrap)
void vt_wrap(const char* address, std::size_t size, std::size_t scheme, int gbk) {
    if (scheme >= std::size(linkdecode::kLinkSchemes))
        __builtin_trap();  // as ReadCharsetAt
    std::string link;
    const linkdecode::WrapRefusal refusal = linkdecode::WrapAddress(
        linkdecode::kLinkSchemes[scheme], {address, size}, gbk != 0, g_gb, link);
    if (refusal == linkdecode::WrapRefusal::None) {
        g_result = "{\"link\":";
        linkdecode::AppendJsonAscii(link, g_result);
    } else {
        g_result = "{\"refusal\":";
        linkdecode::AppendJsonAscii(linkdecode::WrapRefusalId(refusal), g_result);
    }
    g_result += '}';
}

// Makes the links of each non-blank line of `text` (a line break ends a line, "\r" before it is
// dropped), as vt_wrap does for each scheme. Sets the result to a JSON array with one object per
// line: "status" ("ok" or the refusal), "input" (the line as a row shows it) and "links"
// ([{"scheme", "link"}], empty when refused).
VT_EXPORT(vt_encode) void vt_encode(const char* text, std::size_t size, int gbk) {
    std::string& out = g_result;
    out = "[";
    std::string_view rest(text, size);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        out += out.size() == 1 ? "{\"status\":" : ",{\"status\":";
        std::string links;
        linkdecode::WrapRefusal refusal = linkdecode::WrapRefusal::None;
        for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes) {
            std::string link;
            refusal = linkdecode::WrapAddress(scheme, line, gbk != 0, g_gb, link);
            if (refusal != linkdecode::WrapRefusal::None)
                break;
            links += links.empty() ? "{\"scheme\":" : ",{\"scheme\":";
            linkdecode::AppendJsonAscii(scheme.name, links);
            links += ",\"link\":";
            linkdecode::AppendJsonAscii(link, links);
            links += '}';
        }
        linkdecode::AppendJsonAscii(
            refusal == linkdecode::WrapRefusal::None ? "ok" : linkdecode::WrapRefusalId(refusal),
            out);
        out += ",\"input\":";
        linkdecode::AppendShownInput(line, g_gb, out);
        out += ",\"links\":[";
        if (refusal == linkdecode::WrapRefusal::None)
            out += links;
        out += "]}";
    }
    out += ']';
}

// Sets the result to the text of a dropped file: its bytes if they are UTF-8, else read as
// GB18030, with U+FFFD for bytes that start no character.
VT_EXPORT(vt_file_text) void vt_file_text(const char* bytes, std::size_t size) {
    g_result.clear();
    ReplacingSink sink(g_result);
    linkdecode::ReadText({bytes, size}, Charset::Auto, g_gb, sink);
}
