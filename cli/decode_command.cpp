#include "cli/decode_command.h"

#include "linkdecode/json_record.h"
#include "linkdecode/platform_gb_converter.h"
#include "linkdecode/repairs.h"
#include "linkdecode/text_render.h"

namespace veltrun {

namespace {

linkdecode::SessionOptions SessionOf(const CliOptions& options) {
    return {{options.lenient ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict,
             options.charset}};
}

}  // namespace

DecodeCommand::DecodeCommand(const CliOptions& options, Reporter& reporter)
    : options_(options),
      reporter_(reporter),
      gb_(linkdecode::PlatformGbConverter()),
      session_(SessionOf(options)) {}

void DecodeCommand::Argument(const std::string& text) {
    Print(session_.ReadWhole(text), {nullptr, 0});
}

void DecodeCommand::Text(InputStream& in, const std::string& name) {
    std::string piece;
    const auto print = [&] {
        while (const linkdecode::LinkRecord* record = session_.Next())
            Print(*record, {&name, record->line});
    };
    while (true) {
        if (in.RanDry())
            reporter_.Out().Flush();  // a person or a slow writer sees each answer before more
        if (!in.Read(piece))
            break;
        session_.Feed(piece);
        print();
    }
    session_.Finish();
    print();
    if (session_.Found() != 0 || !in.Error().empty())
        return;
    const linkdecode::MissedLinks& missed = session_.MissedInRepair();
    std::string hint;
    if (missed.count != 0) {
        hint = " (--lenient finds " + std::to_string(missed.count) +
               (missed.count == 1 ? " link" : " links") + ", repairing ";
        linkdecode::AppendRepairList(missed.repairs, linkdecode::RepairText::Description, ", ",
                                     hint);
        hint += ')';
    }
    reporter_.Message(name + ": no " + SchemeList("://") + " link found" + hint);
    reporter_.Raise(1);
}

void DecodeCommand::Print(const linkdecode::LinkRecord& record, const Origin& origin) {
    if (record.tooLong) {
        reporter_.MessageAbout(origin, record.input,
                               "link of " + std::to_string(record.fullLength) +
                                   " bytes skipped, longer than " +
                                   std::to_string(session_.MaxLinkBytes()) + " bytes");
        reporter_.Raise(1);
        return;
    }
    const linkdecode::LinkReading& reading = record.reading;
    if (reading.repairs != 0) {
        std::string message = "repaired ";
        linkdecode::AppendRepairList(reading.repairs, linkdecode::RepairText::Description, ", ",
                                     message);
        reporter_.MessageAbout(origin, record.input, message);
    }

    const linkdecode::AddressFormat format{reading.charset, options_.percentEncode};
    OutputStream& out = reporter_.Out();
    if (options_.json) {
        linkdecode::AppendJsonRecord(record, format, linkdecode::FieldScope::Every, gb_,
                                     out.Pending());
    } else if (reading.HasAddress()) {
        linkdecode::RenderAddress(reading.address, format, gb_, out.Pending());
        out.Pending() += '\n';
    }
    out.Commit();
    if (reading.HasAddress())
        return;

    reporter_.Raise(1);
    // What would have found the link in a refused input, if anything.
    const char* hint = reading.repairWouldDecode ? " (--lenient would repair it)"
                       : record.linkFurtherIn
                           ? " (a link stands further in: give the text on standard input to "
                             "find it)"
                           : "";
    using linkdecode::ReadOutcome;
    if (reading.outcome == ReadOutcome::Ignored) {
        reporter_.MessageAbout(
            origin, record.input,
            std::string(linkdecode::ReadOutcomeRow(reading.outcome).description) + hint);
    } else if (reading.outcome == ReadOutcome::NotALink) {
        reporter_.MessageAbout(origin, record.input, "not a " + SchemeList("://") + " link" + hint);
    } else if (reading.outcome == ReadOutcome::Decoded) {
        reporter_.MessageAbout(origin, record.input, linkdecode::NoAddressReason(reading.outcome));
    } else {
        std::string message(linkdecode::ReadOutcomeRow(reading.outcome).description);
        if (!reading.detail.empty())
            message.append(": ").append(Shown(reading.detail));
        reporter_.MessageAbout(origin, record.input, message);
    }
}

}  // namespace veltrun
