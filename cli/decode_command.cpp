#include "cli/decode_command.h"

#include <vector>

#include "cli/gb_converter.h"
#include "linkdecode/json_record.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/link_repair.h"
#include "linkdecode/text_render.h"

namespace veltrun {

namespace {

using linkdecode::UnwrapOutcome;

// A real link is a few hundred bytes; this bounds the memory one line of input can take.
constexpr std::size_t kMaxLinkBytes = 1 << 20;

linkdecode::ReadMode Mode(const CliOptions& options) {
    return options.lenient ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict;
}

}  // namespace

DecodeCommand::DecodeCommand(const CliOptions& options, Reporter& reporter)
    : options_(options), reporter_(reporter) {}

void DecodeCommand::Argument(const std::string& text) {
    DecodeOne(text, {nullptr, 0});
}

void DecodeCommand::Text(InputStream& in, const std::string& name) {
    linkdecode::LinkFinder finder(Mode(options_), kMaxLinkBytes);
    std::vector<linkdecode::FoundLink> links;
    std::string piece;
    bool found = false;
    const auto handle = [&] {
        for (const linkdecode::FoundLink& link : links) {
            found = true;
            const Origin origin{&name, link.line};
            if (link.fullLength > link.text.size()) {
                reporter_.MessageAbout(origin, link.text,
                                       "link of " + std::to_string(link.fullLength) +
                                           " bytes skipped, longer than " +
                                           std::to_string(kMaxLinkBytes) + " bytes");
                reporter_.Raise(1);
                continue;
            }
            DecodeOne(link.text, origin);
        }
        links.clear();
    };
    while (true) {
        reporter_.Out().Flush();  // an interactive reader sees each answer before the next link
        if (!in.Read(piece))
            break;
        finder.Feed(piece, links);
        handle();
    }
    finder.Finish(links);
    handle();
    if (!found && in.Error().empty()) {
        reporter_.Message(name + ": no " + SchemeList("://") + " link found");
        reporter_.Raise(1);
    }
}

void DecodeCommand::DecodeOne(const std::string& text, const Origin& origin) {
    const linkdecode::LinkReading reading =
        linkdecode::ReadLink(text, {Mode(options_), options_.charset});
    // Text after a gap that repair found not to belong to the link is no part of it.
    const std::string_view input = std::string_view(text).substr(0, reading.inputLength);
    if (reading.repairs != 0) {
        std::string list;
        for (const linkdecode::LinkRepairInfo& info : linkdecode::kLinkRepairs) {
            if ((reading.repairs & info.repair) != 0)
                list.append(list.empty() ? "" : ", ").append(info.description);
        }
        reporter_.MessageAbout(origin, input, "repaired " + list);
    }

    const linkdecode::AddressFormat format{reading.charset, options_.percentEncode};
    std::string written;
    if (options_.json) {
        linkdecode::AppendJsonRecord(input, origin.line, reading, format, PlatformGbConverter(),
                                     written);
    } else if (reading.HasAddress()) {
        linkdecode::RenderAddress(reading.address, format, PlatformGbConverter(), written);
        written += '\n';
    }
    reporter_.Out().Write(written);
    if (reading.HasAddress())
        return;

    reporter_.Raise(1);
    const std::string hint = Hint(text, reading.repairWouldDecode);
    if (reading.outcome == UnwrapOutcome::Ignored)
        reporter_.MessageAbout(origin, input, "not a link (no '/' in it)" + hint);
    else if (reading.outcome == UnwrapOutcome::NotALink)
        reporter_.MessageAbout(origin, input, "not a " + SchemeList("://") + " link" + hint);
    else
        reporter_.MessageAbout(origin, input, "the link holds no address");
}

// What would have found the link in a refused input, if anything.
std::string DecodeCommand::Hint(const std::string& input, bool repairWouldDecode) const {
    if (repairWouldDecode)
        return " (--lenient would repair it)";
    // A short cap: only whether a link starts further in matters here.
    if (!linkdecode::FindLinks(input, Mode(options_), 0).empty())
        return " (a link stands further in: give the text on standard input to find it)";
    return {};
}

}  // namespace veltrun
