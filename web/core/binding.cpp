// The core's C exports for web/core/veltrun-core.js, over the module's memory, and two imports
// through which JavaScript converts GB18030, the one thing the portable core leaves to its front
// end.
//
// Every result is JSON (valid UTF-8, whatever the input): rows are the core's JSON records
// (AppendJsonRecord, as `veltrun --json` writes them) with a few fields more for the page and
// the extension, so the script reads fields by name and never by position. Records cross in
// ASCII, their other characters as JSON escapes (SetAsciiResult).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/address_check.h"
#include "linkdecode/charset.h"
#include "linkdecode/json_record.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/link_wrap.h"
#include "linkdecode/missed_links.h"
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

using linkdecode::kMaxLinkBytes;

constexpr std::size_t kShownBytes = 120;
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
// Kept from row to row so that a long list allocates little.
linkdecode::LinkReading g_reading;
std::string g_rendered;

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

// Appends well-formed UTF-8 `text` as a JSON string.
void AppendJsonText(std::string_view text, std::string& out) {
    linkdecode::RenderJsonString(text, Charset::Utf8, g_gb, out);
}

// The input as a row shows it, as a JSON string.
void AppendShown(std::string_view input, std::string& out) {
    AppendJsonText(linkdecode::RenderExcerpt(input, kShownBytes, "\xE2\x80\xA6", g_gb), out);
}

void AppendBool(bool value, std::string& out) {
    out += value ? "true" : "false";
}

// Appends the record of one link read whole: the core's JSON record, and after its fields
// "inputShown" (the excerpt a row shows), "tooLong" (false), "repairWouldDecode" and "openable".
// Without an address, "addressShown", "percentOwn" and "percentUtf8" follow as null; with one,
// they are left out, for vt_render to make when they are first read: a long list shows and
// copies few of its rows, and rendering every address three times cost more than reading it.
void AppendRecord(std::string_view text, std::uint64_t line, linkdecode::ReadOptions options,
                  std::string& out) {
    linkdecode::ReadLink(text, options, g_reading);
    const linkdecode::LinkReading& reading = g_reading;
    // Text after a gap that repair found not to belong to the link is no part of it.
    const std::string_view input = text.substr(0, reading.inputLength);
    linkdecode::AppendJsonRecord(input, line, reading, {reading.charset, false}, g_gb, out);
    out.resize(out.size() - 2);  // the record's closing "}\n": its fields go on
    out += ",\"inputShown\":";
    AppendShown(input, out);
    out += ",\"tooLong\":false,\"repairWouldDecode\":";
    AppendBool(reading.repairWouldDecode, out);
    out += ",\"openable\":";
    AppendBool(reading.HasAddress() && linkdecode::IsOpenableAddress(reading.address), out);
    out += reading.HasAddress()
               ? "}"
               : ",\"addressShown\":null,\"percentOwn\":null,\"percentUtf8\":null}";
}

// The record of a link longer than kMaxLinkBytes, which is not read: the fields of a record,
// with "outcome" "TooLong" and "input" the link's first kMaxLinkBytes bytes.
void AppendTooLong(const linkdecode::FoundLink& link, std::string& out) {
    out += "{\"input\":";
    linkdecode::RenderJsonString(link.text, Charset::Auto, g_gb, out);
    out += ",\"line\":" + std::to_string(link.line);
    out +=
        ",\"scheme\":null,\"outcome\":\"TooLong\",\"address\":null,\"charset\":null,"
        "\"bytes\":null,\"repairs\":[],\"detail\":null,\"inputShown\":";
    AppendShown(link.text, out);
    out +=
        ",\"tooLong\":true,\"repairWouldDecode\":false,\"openable\":false,"
        "\"addressShown\":null,\"percentOwn\":null,\"percentUtf8\":null}";
}

// One text being decoded. The script feeds it in pieces and takes rows a few at a time between
// them, so that a page stays responsive whatever the text's size.
struct Session {
    Session(linkdecode::ReadMode readMode, Charset rowCharset, bool readWhole)
        : mode(readMode),
          charset(rowCharset),
          wholeIfNone(readWhole),
          finder(mode, kMaxLinkBytes) {}

    linkdecode::ReadMode mode;
    Charset charset;
    bool wholeIfNone;  // a text without links is read whole as one link
    linkdecode::LinkFinder finder;
    linkdecode::MissedLinkCounter missed;      // Strict mode only: what repair mode finds more
    std::vector<linkdecode::FoundLink> links;  // found, not yet made into rows
    std::size_t next = 0;                      // the first of `links` not yet a row
    std::size_t found = 0;
    std::string text;  // with wholeIfNone, the text fed while it holds no link
};

// kReadCharsets[index]; an index the script did not take from vt_info stops the module (a trap
// the script reports) rather than read past the list.
Charset ReadCharsetAt(std::size_t index) {
    if (index >= std::size(kReadCharsets))
        __builtin_trap();
    return kReadCharsets[index];
}

// Adds to `links` the one link of a text that holds none, read whole as the dialog reads a
// paste: the text without the white space at its ends, none when blank.
void AddWhole(std::string_view input, std::vector<linkdecode::FoundLink>& links) {
    const std::size_t first = input.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string_view::npos)
        return;
    const std::size_t last = input.find_last_not_of(" \t\r\n\v\f");
    const std::string_view trimmed = input.substr(first, last + 1 - first);
    const std::size_t kept = std::min(trimmed.size(), kMaxLinkBytes);
    links.push_back({std::string(trimmed.substr(0, kept)), trimmed.size(), 1});
}

// Appends the record of a link the finder found.
void AppendFound(const linkdecode::FoundLink& link, linkdecode::ReadOptions options,
                 std::string& out) {
    if (link.fullLength > link.text.size())
        AppendTooLong(link, out);
    else
        AppendRecord(link.text, link.line, options, out);
}

linkdecode::ReadMode ModeOf(int repair) {
    return repair != 0 ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict;
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
// "description"}], in the order records list them)}.
VT_EXPORT(vt_info) void vt_info() {
    std::string& out = g_result;
    out = "{\"version\":";
    linkdecode::AppendJsonAscii(VELTRUN_VERSION, out);
    out += ",\"maxLinkBytes\":" + std::to_string(kMaxLinkBytes) + ",\"schemes\":[";
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
    out += "]}";
}

// Sets the result to the record of `size` bytes of `link` read whole, as one link given on the
// command line: in repair mode when `repair` is not 0, shown in kReadCharsets[charset].
VT_EXPORT(vt_unwrap)
void vt_unwrap(const char* link, std::size_t size, int repair, std::size_t charset) {
    g_records.clear();
    AppendRecord({link, size}, 0, {ModeOf(repair), ReadCharsetAt(charset)}, g_records);
    SetAsciiResult(g_records);
}

// Sets the result to a JSON array of the renderings of records' addresses, given as `size` bytes
// of addresses, each a 32-bit little-endian length, a byte with its index in kReadCharsets (the
// record's "charset") and that many bytes: [{"addressShown" (controls and direction marks as
// \xNN, as RenderText shows it), "percentOwn" (percent-encoded from the bytes themselves),
// "percentUtf8" (from the text read)}].
VT_EXPORT(vt_render) void vt_render(const char* data, std::size_t size) {
    std::string& out = g_records;
    std::string& rendered = g_rendered;
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
        const std::string_view bytes(data + at, length);
        at += length;
        rendered.clear();
        linkdecode::RenderText(bytes, read, g_gb, rendered);
        out += out.size() == 1 ? "{\"addressShown\":" : ",{\"addressShown\":";
        AppendJsonText(rendered, out);
        const char* names[] = {",\"percentOwn\":", ",\"percentUtf8\":"};
        const Charset charsets[] = {Charset::Raw, read};
        for (int i = 0; i < 2; ++i) {
            rendered.clear();
            linkdecode::RenderPercentEncoded(bytes, charsets[i], g_gb, rendered);
            out += names[i];
            linkdecode::AppendJsonAscii(rendered, out);
        }
        out += '}';
    }
    out += ']';
    SetAsciiResult(out);
}

// Starts decoding a text, which vt_decode_feed then gives in pieces; as vt_unwrap for `repair`
// and `charset`. With `wholeIfNone`, a text that holds no link but is not blank becomes one row,
// read whole as the dialog reads a paste. Returns the session the other vt_decode_ calls take;
// vt_decode_end frees it.
VT_EXPORT(vt_decode_begin)
Session* vt_decode_begin(int repair, std::size_t charset, int wholeIfNone) {
    return new Session(ModeOf(repair), ReadCharsetAt(charset), wholeIfNone != 0);
}

// Frees a session.
VT_EXPORT(vt_decode_end) void vt_decode_end(Session* session) {
    delete session;
}

// Finds the links in the next `size` bytes of the text of `session`; where the pieces are cut
// changes nothing.
VT_EXPORT(vt_decode_feed)
void vt_decode_feed(const char* piece, std::size_t size, Session* session) {
    const std::size_t before = session->links.size();
    session->finder.Feed({piece, size}, session->links);
    session->found += session->links.size() - before;
    if (session->mode == linkdecode::ReadMode::Strict)
        session->missed.Feed({piece, size});
    if (session->found == 0 && session->wholeIfNone)
        session->text.append(piece, size);
    else
        session->text = {};
}

// Ends the text (and reads it whole when vt_decode_begin asked for that and it holds no link).
// Sets the result to what repair mode would find more (nothing in repair
// mode): {"count", "repairs" (the ids of the repairs those links need), "text" (their English
// descriptions, comma separated)}.
VT_EXPORT(vt_decode_finish) void vt_decode_finish(Session* session) {
    const std::size_t before = session->links.size();
    session->finder.Finish(session->links);
    session->found += session->links.size() - before;
    const linkdecode::MissedLinks missed = session->mode == linkdecode::ReadMode::Strict
                                               ? session->missed.Finish()
                                               : linkdecode::MissedLinks{};
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
    if (session->found == 0 && session->wholeIfNone)
        AddWhole(session->text, session->links);
    session->text = {};
}

// Sets the result to a JSON array of the records of the next links found so far, at most
// `count`, and returns how many it holds.
VT_EXPORT(vt_decode_next) std::size_t vt_decode_next(Session* session, std::size_t count) {
    std::string& out = g_records;
    out = "[";
    std::size_t written = 0;
    for (; written < count && session->next < session->links.size(); ++written) {
        if (written != 0)
            out += ',';
        AppendFound(session->links[session->next++], {session->mode, session->charset}, out);
    }
    out += ']';
    SetAsciiResult(out);
    if (session->next == session->links.size()) {
        session->finder.Recycle(session->links);
        session->next = 0;
    }
    return written;
}

// Finds the links of many short texts at once, each read on its own as a decoding session reads
// a whole text: `size` bytes of texts, each a 32-bit little-endian length and that many bytes.
// Sets the result to a JSON array with the array of records of each text.
VT_EXPORT(vt_find_each)
void vt_find_each(const char* data, std::size_t size, int repair, std::size_t charset,
                  int wholeIfNone) {
    const linkdecode::ReadOptions options{ModeOf(repair), ReadCharsetAt(charset)};
    linkdecode::LinkFinder finder(options.mode, kMaxLinkBytes);
    std::vector<linkdecode::FoundLink> links;
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
        const std::string_view text(data + at, length);
        at += length;
        finder.Feed(text, links);
        finder.Finish(links);
        if (links.empty() && wholeIfNone != 0)
            AddWhole(text, links);
        out += out.size() == 1 ? "[" : ",[";
        for (const linkdecode::FoundLink& link : links) {
            if (&link != links.data())
                out += ',';
            AppendFound(link, options, out);
        }
        out += ']';
        finder.Recycle(links);
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
        AppendShown(line, out);
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
