#pragma once

#include <string>

#include "cli/input_stream.h"

namespace veltrun {

// What a command does with each input of the command line, in order.
class InputHandler {
public:
    virtual ~InputHandler() = default;

    // One input given as an argument.
    virtual void Argument(const std::string& text) = 0;

    // A text read from `in` in pieces until its end; `name` is what messages call it.
    virtual void Text(InputStream& in, const std::string& name) = 0;

    // What the command reads, for the prompt shown when a person types the input.
    virtual const char* WhatIsRead() const = 0;
};

}  // namespace veltrun
