#include "cli/command_line.h"

#include "cli/reporter.h"
#include "linkdecode/link_wrap.h"

namespace veltrun {

namespace {

using linkdecode::Charset;

enum class OptionId { Help, Version, Lenient, Json, PercentEncode, Charset, Encode, File };

struct OptionSpec {
    char shortName;
    const char* longName;
    bool takesValue;
    OptionId id;
};

const OptionSpec kOptions[] = {
    {'h', "help", false, OptionId::Help},
    {'V', "version", false, OptionId::Version},
    {'l', "lenient", false, OptionId::Lenient},
    {'j', "json", false, OptionId::Json},
    {'p', "percent-encode", false, OptionId::PercentEncode},
    {'c', "charset", true, OptionId::Charset},
    {'e', "encode", true, OptionId::Encode},
    {'f', "file", true, OptionId::File},
};

const char kSeeHelp[] = " (see 'veltrun --help')";

const OptionSpec* FindShort(char name) {
    for (const OptionSpec& spec : kOptions) {
        if (spec.shortName == name)
            return &spec;
    }
    return nullptr;
}

const OptionSpec* FindLong(const std::string& name) {
    for (const OptionSpec& spec : kOptions) {
        if (name == spec.longName)
            return &spec;
    }
    return nullptr;
}

// Applies one option; sets `error` when its value is refused.
void Apply(const OptionSpec& spec, const std::string& shown, const std::string& value,
           ParsedCommandLine& parsed, bool& help, bool& version, std::string& error) {
    CliOptions& o = parsed.options;
    switch (spec.id) {
        case OptionId::Help:
            help = true;
            break;
        case OptionId::Version:
            version = true;
            break;
        case OptionId::Lenient:
            o.lenient = true;
            break;
        case OptionId::Json:
            o.json = true;
            break;
        case OptionId::PercentEncode:
            o.percentEncode = true;
            break;
        case OptionId::Charset:
            if (!linkdecode::CharsetFromName(value, o.charset)) {
                error = "unknown charset '" + value + "' for " + shown +
                        ": auto, gbk, utf8 or raw" + kSeeHelp;
            }
            break;
        case OptionId::Encode:
            o.encodeScheme = linkdecode::FindLinkScheme(value);
            if (o.encodeScheme == nullptr) {
                error = "unknown scheme '" + value + "' for " + shown + ": " + SchemeList("") +
                        kSeeHelp;
            }
            break;
        case OptionId::File:
            o.inputs.push_back({InputSource::Kind::File, value});
            break;
    }
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    bool help = false;
    bool version = false;
    bool optionsEnded = false;
    std::string error;

    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            const bool stdinName = !optionsEnded && arg == "-";
            parsed.options.inputs.push_back(
                {stdinName ? InputSource::Kind::StandardInput : InputSource::Kind::Argument,
                 stdinName ? std::string() : arg});
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg[1] == '-') {
            const std::size_t equals = arg.find('=');
            const std::string name =
                arg.substr(2, equals == std::string::npos ? equals : equals - 2);
            const OptionSpec* spec = FindLong(name);
            const std::string shown = "--" + name;
            if (spec == nullptr) {
                error = "unknown option '" + shown + "'" + kSeeHelp;
            } else if (!spec->takesValue && equals != std::string::npos) {
                error = "option '" + shown + "' takes no value" + kSeeHelp;
            } else if (spec->takesValue && equals == std::string::npos && i + 1 == args.size()) {
                error = "option '" + shown + "' needs a value" + kSeeHelp;
            } else {
                const std::string value = !spec->takesValue             ? std::string()
                                          : equals != std::string::npos ? arg.substr(equals + 1)
                                                                        : args[++i];
                Apply(*spec, shown, value, parsed, help, version, error);
            }
            continue;
        }
        for (std::size_t at = 1; at < arg.size() && error.empty(); ++at) {
            const OptionSpec* spec = FindShort(arg[at]);
            const std::string shown = std::string("-") + arg[at];
            if (spec == nullptr) {
                error = "unknown option '" + shown + "'" + kSeeHelp;
            } else if (!spec->takesValue) {
                Apply(*spec, shown, {}, parsed, help, version, error);
            } else if (at + 1 < arg.size()) {
                Apply(*spec, shown, arg.substr(at + 1), parsed, help, version, error);
                break;
            } else if (i + 1 < args.size()) {
                Apply(*spec, shown, args[++i], parsed, help, version, error);
            } else {
                error = "option '" + shown + "' needs a value" + kSeeHelp;
            }
        }
    }

    const CliOptions& o = parsed.options;
    if (error.empty() && o.encodeScheme != nullptr) {
        const char* refused = o.json            ? "--json"
                              : o.lenient       ? "--lenient"
                              : o.percentEncode ? "--percent-encode"
                                                : nullptr;
        if (refused != nullptr)
            error = std::string("option '") + refused + "' does not apply to --encode" + kSeeHelp;
    }
    if (help || version) {
        parsed.action = help ? ParsedCommandLine::Action::Help : ParsedCommandLine::Action::Version;
    } else if (!error.empty()) {
        parsed.action = ParsedCommandLine::Action::Error;
        parsed.error = error;
    }
    if (parsed.options.inputs.empty())
        parsed.options.inputs.push_back({InputSource::Kind::StandardInput, {}});
    return parsed;
}

std::string HelpText() {
    return R"(Usage: veltrun [OPTION]... [LINK]...
       veltrun --encode SCHEME [--charset gbk] [ADDRESS]...
Turn thunder://, flashget:// and qqdl:// links back into the download addresses
they wrap, or wrap addresses into such links.

Each LINK argument is one link, read exactly as given. With no LINK, or with
"-", veltrun reads standard input and unwraps every link it finds in the text
(web pages, lists, mail), one address per line in input order. A link runs from
its scheme to the first space, line break, quote, '<' or '>'.

Options:
  -l, --lenient          read links as web pages damage them: the scheme in
                         capitals or percent-encoded (thunder%3A%2F%2F), escapes
                         and entities, URL-safe Base64, spaces and line breaks
                         in the payload, missing markers, GBK names that look
                         like UTF-8; each repair is reported on stderr
  -c, --charset WHICH    how to show the address: auto (the default: UTF-8 if
                         it is valid UTF-8, else GBK/GB18030), gbk, utf8, or
                         raw (the bytes unchanged); bytes that are no character
                         show as \xNN and are never dropped
  -p, --percent-encode   write spaces, controls and non-ASCII bytes as %XX, for
                         downloaders that want plain ASCII (use with
                         --charset raw to keep the link's own bytes)
  -j, --json             write one JSON object per result, with the input, the
                         scheme, the outcome, the address, the charset used and
                         the address bytes in Base64
  -f, --file FILE        read links from FILE as from standard input
  -e, --encode SCHEME    make a link of each ADDRESS (or of each line of the
                         input) for thunder, flashget or qqdl; with
                         --charset gbk the UTF-8 address is converted first
  -h, --help             show this help and exit
  -V, --version          show the version and exit

Control characters in an address are always shown as \xNN, so a hostile link
cannot drive the terminal.

Exit status: 0 when every input gave an address; 1 when some input held no
link, was refused or decoded to nothing (all others are still written); 2 on
usage or input/output errors.

Examples:
  veltrun thunder://QUFodHRwOi8vZXhhbXBsZS5jb20vZmlsZS56aXBaWg==
  veltrun --lenient < page.html
  veltrun --json -f links.txt
  veltrun --encode qqdl http://example.com/file.zip
)";
}

std::string VersionText() {
    return std::string("veltrun ") + VELTRUN_VERSION + "\n";
}

}  // namespace veltrun
