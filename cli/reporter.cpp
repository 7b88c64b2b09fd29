#include "cli/reporter.h"

#include <algorithm>
#include <iterator>

#include "linkdecode/platform_gb_converter.h"
#include "linkdecode/link_unwrap.h"
#include "linkdecode/text_render.h"

namespace veltrun {

namespace {

constexpr std::size_t kShownBytes = 72;

}  // namespace

Reporter::Reporter(bool rawOutput)
    : out_(OutputStream::Target::Stdout, rawOutput), err_(OutputStream::Target::Stderr, false) {}

void Reporter::Message(std::string_view text) {
    out_.Flush();  // keeps messages next to the results they follow on a shared terminal
    std::string line = "veltrun: ";
    line.append(text).append("\n");
    err_.Write(line);
}

void Reporter::MessageAbout(const Origin& origin, std::string_view input, std::string_view text) {
    std::string where;
    if (origin.name != nullptr)
        where = *origin.name + ", line " + std::to_string(origin.line) + ": ";
    where.append(Shown(input)).append(": ").append(text);
    Message(where);
}

void Reporter::Raise(int status) {
    status_ = std::max(status_, status);
}

std::string SchemeList(std::string_view suffix) {
    std::string list;
    const std::size_t count = std::size(linkdecode::kLinkSchemes);
    for (std::size_t i = 0; i < count; ++i) {
        list.append(i == 0 ? "" : i + 1 == count ? " or " : ", ");
        list.append(linkdecode::kLinkSchemes[i].name).append(suffix);
    }
    return list;
}

std::string Shown(std::string_view input) {
    return linkdecode::RenderExcerpt(input, kShownBytes, "...", linkdecode::PlatformGbConverter());
}

}  // namespace veltrun
