#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/output_stream.h"

namespace veltrun {

// Where an input came from: an argument, or a line of a named text.
struct Origin {
    const std::string* name;  // nullptr for an argument
    std::uint64_t line;
};

// The two streams of one run and its exit status, shared by the commands.
class Reporter {
public:
    // `rawOutput`: results are bytes that must reach even a console unchanged.
    explicit Reporter(bool rawOutput);

    OutputStream& Out() { return out_; }

    // Writes "veltrun: <text>" and a line break to standard error, after the results so far.
    void Message(std::string_view text);

    // Message about `input` from `origin`: "<name>, line <n>: <input shown>: <text>".
    void MessageAbout(const Origin& origin, std::string_view input, std::string_view text);

    // Raises the exit status to `status` (1: some input gave nothing; 2: usage or I/O error).
    void Raise(int status);
    int Status() const { return status_; }

private:
    OutputStream out_;
    OutputStream err_;
    int status_ = 0;
};

// The scheme names of kLinkSchemes, each followed by `suffix`, as English lists them:
// "thunder, flashget or qqdl".
std::string SchemeList(std::string_view suffix);

// An input as a message shows it: escaped, and cut short at a character boundary.
std::string Shown(std::string_view input);

}  // namespace veltrun
