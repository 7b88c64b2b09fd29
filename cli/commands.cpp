#include "cli/commands.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "cli/command_line.h"
#include "cli/input_stream.h"
#include "cli/output_stream.h"
#include "cli/text_render.h"
#include "linkdecode/base64_encoder.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_repair.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/link_wrap.h"

namespace veltrun {

namespace {

using linkdecode::UnwrapOutcome;

// A real link is a few hundred bytes; this bounds the memory one line of input can take.
constexpr std::size_t kMaxLinkBytes = 1 << 20;
constexpr std::size_t kShownBytes = 72;
#ifdef _WIN32
const char kEndOfInputKeys[] = "Ctrl+Z and Enter";
#else
const char kEndOfInputKeys[] = "Ctrl+D";
#endif

const linkdecode::LinkRepair kRepairs[] = {
    linkdecode::kRepairSchemeCase, linkdecode::kRepairHtmlEntities,
    linkdecode::kRepairPercentEscapes, linkdecode::kRepairUrlSafeBase64};

const char* RepairId(linkdecode::LinkRepair repair) {
    switch (repair) {
        case linkdecode::kRepairSchemeCase:
            return "scheme-case";
        case linkdecode::kRepairHtmlEntities:
            return "html-entities";
        case linkdecode::kRepairPercentEscapes:
            return "percent-escapes";
        case linkdecode::kRepairUrlSafeBase64:
            return "url-safe-base64";
    }
    return "unknown";
}

const char* OutcomeName(UnwrapOutcome outcome) {
    switch (outcome) {
        case UnwrapOutcome::Decoded:
            return "Decoded";
        case UnwrapOutcome::NotALink:
            return "NotALink";
        case UnwrapOutcome::Ignored:
            return "Ignored";
    }
    return "Ignored";
}

// The input as a message shows it: escaped, and cut short at a character boundary.
std::string Shown(std::string_view input) {
    std::string text = RenderText(input.substr(0, kShownBytes * 4), Charset::Auto).text;
    if (text.size() <= kShownBytes && input.size() <= kShownBytes * 4)
        return text;
    std::size_t cut = std::min(text.size(), kShownBytes);
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut) + "...";
}

// The scheme that UnwrapDownloadLink matched for a decoded link.
const char* SchemeName(const std::string& link) {
    static const char* const kNames[] = {"thunder", "flashget", "qqdl"};
    for (std::size_t i = 0; i < 3; ++i) {
        const linkdecode::LinkScheme& scheme = linkdecode::kLinkSchemes[i];
        if (link.compare(0, scheme.prefixLength, scheme.prefix) == 0)
            return kNames[i];
    }
    return nullptr;
}

// Where an input came from: an argument, or a line of a named text.
struct Origin {
    const std::string* name;  // nullptr for an argument
    std::uint64_t line;
};

// The start of a message about `input`, built only when there is something to say.
std::string Where(const Origin& origin, std::string_view input) {
    std::string where;
    if (origin.name != nullptr)
        where = *origin.name + ", line " + std::to_string(origin.line) + ": ";
    return where + Shown(input) + ": ";
}

class Runner {
public:
    Runner(const CliOptions& options)
        : options_(options),
          out_(OutputStream::Target::Stdout,
               options.charset == Charset::Raw && !options.json && !options.percentEncode),
          err_(OutputStream::Target::Stderr, false) {}

    int Run() {
        for (const InputSource& source : options_.inputs) {
            if (source.kind == InputSource::Kind::Argument) {
                if (options_.encodeScheme != nullptr)
                    EncodeOne(source.text, {nullptr, 0}, true);
                else
                    DecodeOne(source.text, {nullptr, 0});
                continue;
            }
            const bool isFile = source.kind == InputSource::Kind::File;
            const std::string name = isFile ? Shown(source.text) : "standard input";
            InputStream file(source.text);
            InputStream stdinStream;
            InputStream& in = isFile ? file : stdinStream;
            if (!in.Open()) {
                Message(name + ": " + in.Error());
                Raise(2);
                continue;
            }
            if (in.IsTerminal())
                Message(std::string("reading ") +
                        (options_.encodeScheme != nullptr ? "addresses, one per line"
                                                          : "text with links") +
                        ", from the terminal; end with " + kEndOfInputKeys);
            if (options_.encodeScheme != nullptr)
                EncodeLines(in, name);
            else
                DecodeText(in, name);
            if (!in.Error().empty()) {
                Message(name + ": " + in.Error());
                Raise(2);
            }
        }
        out_.Flush();
        return status_;
    }

private:
    void Raise(int status) { status_ = std::max(status_, status); }

    void Message(const std::string& text) {
        out_.Flush();  // keeps messages next to the results they follow on a shared terminal
        err_.Write("veltrun: " + text + "\n");
    }

    void DecodeText(InputStream& in, const std::string& name) {
        linkdecode::LinkFinder finder(
            options_.lenient ? linkdecode::SchemeCase::Any : linkdecode::SchemeCase::Exact,
            kMaxLinkBytes);
        std::vector<linkdecode::FoundLink> links;
        std::string piece;
        bool found = false;
        const auto handle = [&] {
            for (const linkdecode::FoundLink& link : links) {
                found = true;
                const Origin origin{&name, link.line};
                if (link.fullLength > link.text.size()) {
                    Message(Where(origin, link.text) + "link of " +
                            std::to_string(link.fullLength) + " bytes skipped, longer than " +
                            std::to_string(kMaxLinkBytes) + " bytes");
                    Raise(1);
                    continue;
                }
                DecodeOne(link.text, origin);
            }
            links.clear();
        };
        while (true) {
            out_.Flush();  // an interactive reader sees each answer before typing the next link
            if (!in.Read(piece))
                break;
            finder.Feed(piece, links);
            handle();
        }
        finder.Finish(links);
        handle();
        if (!found && in.Error().empty()) {
            Message(name + ": no thunder://, flashget:// or qqdl:// link found");
            Raise(1);
        }
    }

    void DecodeOne(const std::string& input, const Origin& origin) {
        linkdecode::RepairedLink repaired{{}, 0};
        if (options_.lenient)
            repaired = linkdecode::RepairLink(input);
        const std::string& link = options_.lenient ? repaired.text : input;
        const unsigned repairs = repaired.repairs;
        if (repairs != 0) {
            std::string list;
            for (linkdecode::LinkRepair r : kRepairs) {
                if ((repairs & r) != 0)
                    list += (list.empty() ? "" : ", ") + std::string(DescribeLinkRepair(r));
            }
            Message(Where(origin, input) + "repaired " + list);
        }

        const linkdecode::UnwrapResult result = linkdecode::UnwrapDownloadLink(link);
        const bool decoded = result.outcome == UnwrapOutcome::Decoded;
        if (options_.json)
            WriteJson(input, origin.line, link, result, repairs);
        else if (decoded && !result.text.empty())
            out_.Write(Render(result.text).text + "\n");

        if (decoded && !result.text.empty())
            return;
        Raise(1);
        const std::string where = Where(origin, input);
        if (result.outcome == UnwrapOutcome::Ignored)
            Message(where + "not a link (no '/' in it)" + Hint(input));
        else if (result.outcome == UnwrapOutcome::NotALink)
            Message(where + "not a thunder://, flashget:// or qqdl:// link" + Hint(input));
        else
            Message(where + "the link holds no address");
    }

    // What would have found the link in a refused input, if anything.
    std::string Hint(const std::string& input) const {
        if (!options_.lenient &&
            linkdecode::UnwrapDownloadLink(linkdecode::RepairLink(input).text).outcome ==
                UnwrapOutcome::Decoded)
            return " (--lenient would repair it)";
        const auto schemeCase =
            options_.lenient ? linkdecode::SchemeCase::Any : linkdecode::SchemeCase::Exact;
        if (!linkdecode::FindLinks(input, schemeCase, kShownBytes).empty())
            return " (a link stands further in: give the text on standard input to find it)";
        return {};
    }

    RenderedText Render(const std::string& address) const {
        return options_.percentEncode ? RenderPercentEncoded(address, options_.charset)
                                      : RenderText(address, options_.charset);
    }

    void WriteJson(const std::string& input, std::uint64_t line, const std::string& link,
                   const linkdecode::UnwrapResult& result, unsigned repairs) {
        std::string json = "{\"input\":" + RenderJsonString(input, Charset::Auto).text;
        json += ",\"line\":" + (line != 0 ? std::to_string(line) : std::string("null"));
        const char* scheme = result.outcome == UnwrapOutcome::Decoded ? SchemeName(link) : nullptr;
        json += ",\"scheme\":" + (scheme != nullptr ? JsonAscii(scheme) : std::string("null"));
        json += ",\"outcome\":" + JsonAscii(OutcomeName(result.outcome));
        if (result.outcome == UnwrapOutcome::Decoded) {
            RenderedText address = options_.percentEncode
                                       ? RenderPercentEncoded(result.text, options_.charset)
                                       : RenderJsonString(result.text, options_.charset);
            if (options_.percentEncode)
                address.text = JsonAscii(address.text);
            json += ",\"address\":" + address.text;
            json += ",\"charset\":" + JsonAscii(CharsetName(address.charset));
            json += ",\"bytes\":" + JsonAscii(linkdecode::EncodeBase64Text(result.text));
        } else {
            json += ",\"address\":null,\"charset\":null,\"bytes\":null";
        }
        json += ",\"repairs\":[";
        bool first = true;
        for (linkdecode::LinkRepair r : kRepairs) {
            if ((repairs & r) == 0)
                continue;
            json += (first ? "" : ",") + JsonAscii(RepairId(r));
            first = false;
        }
        json += "]}\n";
        out_.Write(json);
    }

    void EncodeLines(InputStream& in, const std::string& name) {
        std::string piece;
        std::string line;
        std::uint64_t number = 1;
        bool overlong = false;
        const auto finishLine = [&] {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const Origin origin{&name, number};
            if (overlong) {
                Message(name + ", line " + std::to_string(number) +
                        ": address skipped, longer than " + std::to_string(kMaxLinkBytes) +
                        " bytes");
                Raise(1);
            } else if (!line.empty()) {
                EncodeOne(line, origin, false);
            }
            line.clear();
            overlong = false;
            ++number;
        };
        while (true) {
            out_.Flush();
            if (!in.Read(piece))
                break;
            std::string_view rest = piece;
            while (!rest.empty()) {
                const std::size_t end = rest.find('\n');
                const std::string_view part = rest.substr(0, end);
                if (line.size() + part.size() > kMaxLinkBytes)
                    overlong = true;
                else
                    line.append(part);
                if (end == std::string_view::npos)
                    break;
                finishLine();
                rest.remove_prefix(end + 1);
            }
        }
        if (!line.empty() || overlong)
            finishLine();
    }

    void EncodeOne(const std::string& address, const Origin& origin, bool emptyIsError) {
        std::string bytes = address;
        if (address.empty()) {
            if (emptyIsError) {
                Message("empty address");
                Raise(1);
            }
            return;
        }
        if (address.find('\0') != std::string::npos) {
            Message(Where(origin, address) + "holds a zero byte, which no link can carry");
            Raise(1);
            return;
        }
        if (options_.charset == Charset::Gbk) {
            const char* problem = !IsValidUtf8(address) ? "not valid UTF-8, so not converted to GBK"
                                  : !ConvertUtf8ToGb18030(address, bytes)
                                      ? "holds characters that GBK cannot encode"
                                      : nullptr;
            if (problem != nullptr) {
                Message(Where(origin, address) + problem);
                Raise(1);
                return;
            }
        }
        out_.Write(linkdecode::WrapDownloadLink(*options_.encodeScheme, bytes) + "\n");
    }

    const CliOptions& options_;
    OutputStream out_;
    OutputStream err_;
    int status_ = 0;
};

}  // namespace

int RunVeltrun(const std::vector<std::string>& args) {
    PrepareStandardStreams();
    const ParsedCommandLine parsed = ParseCommandLine(args);
    switch (parsed.action) {
        case ParsedCommandLine::Action::Help: {
            OutputStream out(OutputStream::Target::Stdout, false);
            out.Write(HelpText());
            return 0;
        }
        case ParsedCommandLine::Action::Version: {
            OutputStream out(OutputStream::Target::Stdout, false);
            out.Write(VersionText());
            return 0;
        }
        case ParsedCommandLine::Action::Error: {
            OutputStream err(OutputStream::Target::Stderr, false);
            err.Write("veltrun: " + parsed.error + "\n");
            return 2;
        }
        case ParsedCommandLine::Action::Run:
            break;
    }
    Runner runner(parsed.options);
    return runner.Run();
}

}  // namespace veltrun
