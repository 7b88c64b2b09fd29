#include "cli/decode_command.h"

#include <vector>

#include "cli/gb_converter.h"
#include "linkdecode/json_record.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/missed_links.h"
#include "linkdecode/repairs.h"
#include "linkdecode/text_render.h"

namespace veltrun {

namespace {

using linkdecode::kMaxLinkBytes;
using linkdecode::ReadOutcome;

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
    // Strict mode, until a link is found: what repair mode would find, to say so.
    linkdecode::MissedLinkCounter missed;
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
        finder.Recycle(links);
    };
    while (true) {
        if (in.RanDry())
            reporter_.Out().Flush();  // a person or a slow writer sees each answer before more
        if (!in.Read(piece))
            break;
        finder.Feed(piece, links);
        handle();
        if (!found && !options_.lenient)
            missed.Feed(piece);
    }
    finder.Finish(links);
    handle();
    const linkdecode::MissedLinks missedLinks = missed.Finish();
    if (!found && in.Error().empty()) {
        std::string hint;
        if (missedLinks.count != 0) {
            hint = " (--lenient finds " + std::to_string(missedLinks.count) +
                   (missedLinks.count == 1 ? " link" : " links") + ", repairing ";
            linkdecode::AppendRepairList(missedLinks.repairs, linkdecode::RepairText::Description,
                                         ", ", hint);
            hint += ')';
        }
        reporter_.Message(name + ": no " + SchemeList("://") + " link found" + hint);
        reporter_.Raise(1);
    }
}

void DecodeCommand::DecodeOne(std::string_view text, const Origin& origin) {
    linkdecode::ReadLink(text, {Mode(options_), options_.charset}, reading_);
    const linkdecode::LinkReading& reading = reading_;
    // Text after a gap that repair found not to belong to the link is no part of it.
    const std::string_view input = text.substr(0, reading.inputLength);
    if (reading.repairs != 0) {
        std::string message = "repaired ";
        linkdecode::AppendRepairList(reading.repairs, linkdecode::RepairText::Description, ", ",
                                     message);
        reporter_.MessageAbout(origin, input, message);
    }

    const linkdecode::AddressFormat format{reading.charset, options_.percentEncode};
    OutputStream& out = reporter_.Out();
    if (options_.json) {
        linkdecode::AppendJsonRecord(input, origin.line, reading, format, PlatformGbConverter(),
                                     out.Pending());
    } else if (reading.HasAddress()) {
        linkdecode::RenderAddress(reading.address, format, PlatformGbConverter(), out.Pending());
        out.Pending() += '\n';
    }
    out.Commit();
    if (reading.HasAddress())
        return;

    reporter_.Raise(1);
    const std::string hint = Hint(text, reading.repairWouldDecode);
    if (reading.outcome == ReadOutcome::Ignored) {
        reporter_.MessageAbout(
            origin, input,
            std::string(linkdecode::ReadOutcomeRow(reading.outcome).description) + hint);
    } else if (reading.outcome == ReadOutcome::NotALink) {
        reporter_.MessageAbout(origin, input, "not a " + SchemeList("://") + " link" + hint);
    } else if (reading.outcome == ReadOutcome::Decoded) {
        reporter_.MessageAbout(origin, input, "the link holds no address");
    } else {
        std::string message(linkdecode::ReadOutcomeRow(reading.outcome).description);
        if (!reading.detail.empty())
            message.append(": ").append(Shown(reading.detail));
        reporter_.MessageAbout(origin, input, message);
    }
}

// What would have found the link in a refused input, if anything.
std::string DecodeCommand::Hint(std::string_view input, bool repairWouldDecode) const {
    if (repairWouldDecode)
        return " (--lenient would repair it)";
    // A short cap: only whether a link starts further in matters here.
    if (!linkdecode::FindLinks(input, Mode(options_), 0).empty())
        return " (a link stands further in: give the text on standard input to find it)";
    return {};
}

}  // namespace veltrun
