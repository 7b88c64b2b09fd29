#pragma once

#include <string>

#include "cli/command_line.h"
#include "cli/input_handler.h"
#include "cli/reporter.h"
#include "linkdecode/reading_session.h"

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
    // Writes what a record gives: its address or JSON record, and a message when it gives none.
    void Print(const linkdecode::LinkRecord& record, const Origin& origin);

    const CliOptions& options_;
    Reporter& reporter_;
    linkdecode::GbConverter& gb_;
    // Kept from text to text, so that reading one allocates nothing per link.
    linkdecode::ReadingSession session_;
};

}  // namespace veltrun
