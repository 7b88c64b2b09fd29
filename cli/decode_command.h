#pragma once

#include <string>

#include "cli/command_line.h"
#include "cli/input_handler.h"
#include "cli/reporter.h"

namespace veltrun {

// Unwraps each argument as one link, and every link found in a text, writing one address per
// line (or one JSON record per link) and a message for each link that gives no address.
class DecodeCommand : public InputHandler {
public:
    DecodeCommand(const CliOptions& options, Reporter& reporter);

    void Argument(const std::string& text) override;
    void Text(InputStream& in, const std::string& name) override;
    const char* WhatIsRead() const override { return "text with links"; }

private:
    void DecodeOne(const std::string& input, const Origin& origin);
    std::string Hint(const std::string& input, bool repairWouldDecode) const;

    const CliOptions& options_;
    Reporter& reporter_;
};

}  // namespace veltrun
