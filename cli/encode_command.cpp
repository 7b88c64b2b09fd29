#include "cli/encode_command.h"

#include <string_view>

#include "linkdecode/platform_gb_converter.h"
#include "linkdecode/charset.h"
#include "linkdecode/link_wrap.h"

namespace veltrun {

namespace {

// As for links: a real address is far shorter, and this bounds what one line may take.
constexpr std::size_t kMaxAddressBytes = 1 << 20;

}  // namespace

EncodeCommand::EncodeCommand(const CliOptions& options, Reporter& reporter)
    : options_(options), reporter_(reporter) {}

void EncodeCommand::Argument(const std::string& text) {
    EncodeOne(text, {nullptr, 0});
}

void EncodeCommand::Text(InputStream& in, const std::string& name) {
    std::string piece;
    std::string line;
    std::uint64_t number = 1;
    bool overlong = false;
    const auto finishLine = [&] {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (overlong) {
            reporter_.Message(name + ", line " + std::to_string(number) +
                              ": address skipped, longer than " + std::to_string(kMaxAddressBytes) +
                              " bytes");
            reporter_.Raise(1);
        } else if (!line.empty()) {
            EncodeOne(line, {&name, number});
        }
        line.clear();
        overlong = false;
        ++number;
    };
    while (true) {
        reporter_.Out().Flush();
        if (!in.Read(piece))
            break;
        std::string_view rest = piece;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            const std::string_view part = rest.substr(0, end);
            if (line.size() + part.size() > kMaxAddressBytes)
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

void EncodeCommand::EncodeOne(const std::string& address, const Origin& origin) {
    std::string link;
    const bool toGb = options_.charset == linkdecode::Charset::Gbk;
    const linkdecode::WrapRefusal refusal = linkdecode::WrapAddress(
        *options_.encodeScheme, address, toGb, linkdecode::PlatformGbConverter(), link);
    if (refusal == linkdecode::WrapRefusal::None) {
        link += '\n';
        reporter_.Out().Write(link);
        return;
    }
    const std::string_view reason = linkdecode::WrapRefusalText(refusal);
    // An empty argument has nothing to show before the reason.
    if (address.empty())
        reporter_.Message(reason);
    else
        reporter_.MessageAbout(origin, address, reason);
    reporter_.Raise(1);
}

}  // namespace veltrun
