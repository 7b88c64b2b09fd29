// The page's way into the core: C exports over the module's memory, and two imports through
// which the browser converts GB18030, the one thing the portable core leaves to its front end.
//
// Results are records ended by 0x1E whose fields are ended by 0x1F. Every field is either text
// rendered with \xNN for controls or an ASCII word, so neither separator occurs inside one and
// the script only splits.

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "linkdecode/address_check.h"
#include "linkdecode/charset.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/link_repair.h"
#include "linkdecode/link_wrap.h"
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

constexpr std::size_t kMaxLinkBytes = 1 << 20;  // as the CLI: no real link comes near
constexpr std::size_t kShownBytes = 120;
constexpr char kField = '\x1F';
constexpr char kRecord = '\x1E';

std::string g_result;

// GB18030 through the browser's TextDecoder and a reverse map the page builds from it.
class BrowserGbConverter : public linkdecode::GbConverter {
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

BrowserGbConverter g_gb;

// The input as a row shows it.
std::string Shown(std::string_view input) {
    return linkdecode::RenderExcerpt(input, kShownBytes, "\xE2\x80\xA6", g_gb);
}

void Field(std::string_view text) {
    g_result.append(text);
    g_result += kField;
}

// One text being decoded. The page feeds it in pieces and takes rows a few at a time between
// them, so that it stays responsive whatever the text's size.
struct Session {
    Session(linkdecode::ReadMode readMode, Charset rowCharset)
        : mode(readMode), charset(rowCharset), finder(mode, kMaxLinkBytes) {}

    linkdecode::ReadMode mode;
    Charset charset;
    linkdecode::LinkFinder finder;
    // Strict mode only: what repair mode would find, counted to say so.
    linkdecode::LinkFinder repairFinder{linkdecode::ReadMode::Repair, kShownBytes};
    std::vector<linkdecode::FoundLink> repairLinks;  // counted, then dropped
    std::vector<linkdecode::FoundLink> links;        // found, not yet made into rows
    std::size_t next = 0;                            // the first of `links` not yet a row
    std::size_t found = 0;
    std::size_t foundInRepair = 0;
    std::string text;  // the text fed while it holds no link: read whole if none comes
};

std::unique_ptr<Session> g_session;

// Fields: outcome, line, input shown, scheme, charset used, address, repair ids (comma
// separated), "1" when repair mode gives an address strict mode refused, "1" when the address
// may be clicked, percent-encoded from the link's own bytes, percent-encoded from the text.
void WriteRow(const linkdecode::FoundLink& link) {
    const bool tooLong = link.fullLength > link.text.size();
    const linkdecode::LinkReading reading =
        tooLong ? linkdecode::LinkReading{}
                : linkdecode::ReadLink(link.text, {g_session->mode, g_session->charset});
    const char* outcome = tooLong                                                  ? "toolong"
                          : reading.HasAddress()                                   ? "decoded"
                          : reading.outcome == linkdecode::UnwrapOutcome::Ignored  ? "ignored"
                          : reading.outcome == linkdecode::UnwrapOutcome::NotALink ? "notalink"
                                                                                   : "empty";
    Field(outcome);
    Field(std::to_string(link.line));
    // Text after a gap that repair found not to belong to the link is no part of it.
    Field(Shown(tooLong ? link.text : std::string_view(link.text).substr(0, reading.inputLength)));
    Field(reading.scheme != nullptr ? reading.scheme->name : "");
    if (!reading.HasAddress()) {
        for (const char* field : {"", "", "", reading.repairWouldDecode ? "1" : "", "", "", ""})
            Field(field);
        g_result += kRecord;
        return;
    }
    const std::string& bytes = reading.address;
    std::string text;
    Field(linkdecode::CharsetName(linkdecode::RenderText(bytes, reading.charset, g_gb, text)));
    Field(text);
    std::string ids;
    for (const linkdecode::LinkRepairInfo& repair : linkdecode::kLinkRepairs) {
        if ((reading.repairs & repair.repair) != 0)
            ids.append(ids.empty() ? "" : ",").append(repair.id);
    }
    Field(ids);
    Field("");
    Field(linkdecode::IsOpenableAddress(bytes) ? "1" : "");
    for (const Charset charset : {Charset::Raw, reading.charset}) {
        text.clear();
        linkdecode::RenderPercentEncoded(bytes, charset, g_gb, text);
        Field(text);
    }
    g_result += kRecord;
}

Charset CharsetOf(int code) {
    return code == 1 ? Charset::Gbk : code == 2 ? Charset::Utf8 : Charset::Auto;
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

// Returns `size` bytes the page fills before a call, or nullptr; free them with vt_free.
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

// Sets the result to the product version.
VT_EXPORT(vt_version) void vt_version() {
    g_result = VELTRUN_VERSION;
}

// Sets the result to one record per repair: its id and its English description.
VT_EXPORT(vt_repairs) void vt_repairs() {
    g_result.clear();
    for (const linkdecode::LinkRepairInfo& repair : linkdecode::kLinkRepairs) {
        Field(repair.id);
        Field(repair.description);
        g_result += kRecord;
    }
}

// Starts decoding a text, which vt_decode_feed then gives in pieces. `repair` chooses repair
// mode over strict; `charset` is 0 auto, 1 GBK, 2 UTF-8.
VT_EXPORT(vt_decode_begin) void vt_decode_begin(int repair, int charset) {
    g_session = std::make_unique<Session>(
        repair != 0 ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict,
        CharsetOf(charset));
}

// Finds the links in the next `size` bytes of the text; where the pieces are cut changes
// nothing.
VT_EXPORT(vt_decode_feed) void vt_decode_feed(const char* piece, std::size_t size) {
    Session& session = *g_session;
    const std::size_t before = session.links.size();
    session.finder.Feed({piece, size}, session.links);
    session.found += session.links.size() - before;
    if (session.mode == linkdecode::ReadMode::Strict) {
        session.repairFinder.Feed({piece, size}, session.repairLinks);
        session.foundInRepair += session.repairLinks.size();
        session.repairLinks.clear();
    }
    if (session.found == 0)
        session.text.append(piece, size);
    else
        session.text = {};
}

// Ends the text. One that holds no link but is not blank becomes one row, read whole as the
// dialog reads a paste.
VT_EXPORT(vt_decode_finish) void vt_decode_finish() {
    Session& session = *g_session;
    const std::size_t before = session.links.size();
    session.finder.Finish(session.links);
    session.found += session.links.size() - before;
    if (session.mode == linkdecode::ReadMode::Strict) {
        session.repairFinder.Finish(session.repairLinks);
        session.foundInRepair += session.repairLinks.size();
    }
    if (session.found != 0)
        return;
    const std::string_view input = session.text;
    const std::size_t first = input.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string_view::npos)
        return;
    const std::size_t last = input.find_last_not_of(" \t\r\n\v\f");
    const std::string_view trimmed = input.substr(first, last + 1 - first);
    const std::size_t kept = std::min(trimmed.size(), kMaxLinkBytes);
    session.links.push_back({std::string(trimmed.substr(0, kept)), trimmed.size(), 1});
    session.text = {};
}

// After vt_decode_finish, how many more links repair mode finds in the text (0 in repair
// mode): links with the scheme in capitals, which strict mode does not see.
VT_EXPORT(vt_decode_more_in_repair) std::size_t vt_decode_more_in_repair() {
    return g_session->foundInRepair - g_session->found;
}

// Sets the result to the next rows of the links found so far, at most `count`, and returns
// how many it holds.
VT_EXPORT(vt_decode_next) std::size_t vt_decode_next(std::size_t count) {
    Session& session = *g_session;
    g_result.clear();
    std::size_t written = 0;
    for (; written < count && session.next < session.links.size(); ++written)
        WriteRow(session.links[session.next++]);
    if (session.next == session.links.size()) {
        session.links.clear();
        session.next = 0;
    }
    return written;
}

// Makes the three links of each non-blank line of `text` (a line break ends a line, "\r" before
// it is dropped), from the line's UTF-8 bytes or, with `gbk`, its GB18030 bytes. One record per
// line: status ("ok"; "zero": holds a zero byte, which no link can carry; "notutf8"; "nogbk": a
// character GB18030 lacks), the line rendered, and for each link made its scheme's name and the
// link.
VT_EXPORT(vt_encode) void vt_encode(const char* text, std::size_t size, int gbk) {
    g_result.clear();
    std::string_view rest(text, size);
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        for (const linkdecode::LinkScheme& scheme : linkdecode::kLinkSchemes) {
            std::string link;
            const linkdecode::WrapRefusal refusal =
                linkdecode::WrapAddress(scheme, line, gbk != 0, g_gb, link);
            if (&scheme == linkdecode::kLinkSchemes) {
                Field(refusal == linkdecode::WrapRefusal::None       ? "ok"
                      : refusal == linkdecode::WrapRefusal::ZeroByte ? "zero"
                      : refusal == linkdecode::WrapRefusal::NotUtf8  ? "notutf8"
                                                                     : "nogbk");
                Field(Shown(line));
            }
            if (refusal == linkdecode::WrapRefusal::None) {
                Field(scheme.name);
                Field(link);
            }
        }
        g_result += kRecord;
    }
}

// Sets the result to the text of a dropped file: its bytes if they are UTF-8, else read as
// GB18030, with U+FFFD for bytes that start no character.
VT_EXPORT(vt_file_text) void vt_file_text(const char* bytes, std::size_t size) {
    const std::string_view data(bytes, size);
    g_result.clear();
    ReplacingSink sink(g_result);
    linkdecode::ReadText(data, Charset::Auto, g_gb, sink);
}
