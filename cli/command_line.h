#pragma once

#include <string>
#include <vector>

#include "linkdecode/charset.h"
#include "linkdecode/link_unwrap.h"

namespace veltrun {

// One input in command-line order: a link (or, when encoding, an address) given as an
// argument, standard input ("-" or no argument at all), or a file named by --file.
struct InputSource {
    enum class Kind { Argument, StandardInput, File };
    Kind kind;
    std::string text;  // the argument, or the file's name
};

struct CliOptions {
    bool lenient = false;
    bool json = false;
    bool percentEncode = false;
    linkdecode::Charset charset = linkdecode::Charset::Auto;
    const linkdecode::LinkScheme* encodeScheme = nullptr;  // set by --encode
    enum class Desktop { None, Open, RegisterHandler, UnregisterHandler };
    Desktop desktop = Desktop::None;  // set by --open (the link in openLink) and --*-handler
    std::string openLink;
    std::vector<InputSource> inputs;  // never empty after parsing
};

struct ParsedCommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    CliOptions options;
    std::string error;  // for Error: one line, without "veltrun: " and line break
};

// Parses the arguments after the program name (UTF-8). Options may come anywhere before "--";
// short flags may be grouped ("-lj"), and a value follows its option as the next argument,
// after "=" (long form) or glued to a short option ("-ethunder"). Unknown options, missing or
// unknown values and options that --encode does not take give Error naming the option and
// pointing at --help. -h and -V win over everything else that parses.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help, ending in a line break.
std::string HelpText();

// The text of --version, ending in a line break.
std::string VersionText();

}  // namespace veltrun
