#include "cli/commands.h"

#include "cli/command_line.h"
#include "cli/decode_command.h"
#include "cli/encode_command.h"
#include "cli/handler_registration.h"
#include "cli/open_command.h"
#include "cli/input_stream.h"
#include "cli/output_stream.h"
#include "cli/reporter.h"

namespace veltrun {

namespace {

#ifdef _WIN32
const char kEndOfInputKeys[] = "Ctrl+Z and Enter";
#else
const char kEndOfInputKeys[] = "Ctrl+D";
#endif

// Opens standard input or a file and hands its text to `handler`.
void ReadSource(const InputSource& source, InputHandler& handler, Reporter& reporter) {
    const bool isFile = source.kind == InputSource::Kind::File;
    const std::string name = isFile ? Shown(source.text) : "standard input";
    InputStream file(source.text);
    InputStream stdinStream;
    InputStream& in = isFile ? file : stdinStream;
    if (!in.Open()) {
        reporter.Message(name + ": " + in.Error());
        reporter.Raise(2);
        return;
    }
    if (in.IsTerminal())
        reporter.Message(std::string("reading ") + handler.WhatIsRead() +
                         ", from the terminal; end with " + kEndOfInputKeys);
    handler.Text(in, name);
    if (!in.Error().empty()) {
        reporter.Message(name + ": " + in.Error());
        reporter.Raise(2);
    }
}

int Run(const CliOptions& options) {
    Reporter reporter(options.charset == linkdecode::Charset::Raw && !options.json &&
                      !options.percentEncode);
    DecodeCommand decode(options, reporter);
    EncodeCommand encode(options, reporter);
    InputHandler& handler =
        options.encodeScheme != nullptr ? static_cast<InputHandler&>(encode) : decode;
    for (const InputSource& source : options.inputs) {
        if (source.kind == InputSource::Kind::Argument)
            handler.Argument(source.text);
        else
            ReadSource(source, handler, reporter);
    }
    reporter.Out().Flush();
    return reporter.Status();
}

void WriteAndFlush(OutputStream::Target target, const std::string& text) {
    OutputStream stream(target, false);
    stream.Write(text);
}

}  // namespace

int RunVeltrun(const std::vector<std::string>& args) {
    PrepareStandardStreams();
    const ParsedCommandLine parsed = ParseCommandLine(args);
    switch (parsed.action) {
        case ParsedCommandLine::Action::Help:
            WriteAndFlush(OutputStream::Target::Stdout, HelpText());
            return 0;
        case ParsedCommandLine::Action::Version:
            WriteAndFlush(OutputStream::Target::Stdout, VersionText());
            return 0;
        case ParsedCommandLine::Action::Error:
            WriteAndFlush(OutputStream::Target::Stderr, "veltrun: " + parsed.error + "\n");
            return 2;
        case ParsedCommandLine::Action::Run:
            break;
    }
    switch (parsed.options.desktop) {
        case CliOptions::Desktop::Open:
            return RunOpen(parsed.options.openLink, parsed.options.lenient
                                                        ? linkdecode::ReadMode::Repair
                                                        : linkdecode::ReadMode::Strict);
        case CliOptions::Desktop::RegisterHandler:
            return RegisterHandler();
        case CliOptions::Desktop::UnregisterHandler:
            return UnregisterHandler();
        case CliOptions::Desktop::None:
            break;
    }
    return Run(parsed.options);
}

}  // namespace veltrun
