#pragma once

#include <string>

#include "cli/command_line.h"
#include "cli/input_handler.h"
#include "cli/reporter.h"

namespace veltrun {

// Makes a link of the scheme --encode names from each address argument and from each line of
// a text, blank lines skipped, one link per line.
class EncodeCommand : public InputHandler {
public:
    EncodeCommand(const CliOptions& options, Reporter& reporter);

    void Argument(const std::string& text) override;
    void Text(InputStream& in, const std::string& name) override;
    const char* WhatIsRead() const override { return "addresses, one per line"; }

private:
    void EncodeOne(const std::string& address, const Origin& origin);

    const CliOptions& options_;
    Reporter& reporter_;
};

}  // namespace veltrun
