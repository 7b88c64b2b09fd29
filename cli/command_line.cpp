#include "cli/command_line.h"

#include <algorithm>
#include <utility>

#include "cli/reporter.h"
#include "linkdecode/link_wrap.h"

namespace veltrun {

namespace {

using linkdecode::Charset;

enum class OptionId {
    Help,
    Version,
    Lenient,
    Json,
    PercentEncode,
    Charset,
    Encode,
    File,
    Open,
    RegisterHandler,
    UnregisterHandler
};

struct OptionSpec {
    char shortName;
    const char* longName;
    bool takesValue;
    bool withEncode;  // whether --encode takes it too
    OptionId id;
};

// Of several options --encode refuses, the first in this order is named.
const OptionSpec kOptions[] = {
    {'h', "help", false, true, OptionId::Help},
    {'V', "version", false, true, OptionId::Version},
    {'j', "json", false, false, OptionId::Json},
    {'l', "lenient", false, false, OptionId::Lenient},
    {'p', "percent-encode", false, false, OptionId::PercentEncode},
    {'c', "charset", true, true, OptionId::Charset},
    {'e', "encode", true, true, OptionId::Encode},
    {'f', "file", true, true, OptionId::File},
    {0, "open", true, false, OptionId::Open},
    {0, "register-handler", false, false, OptionId::RegisterHandler},
    {0, "unregister-handler", false, false, OptionId::UnregisterHandler},
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

// One pass over the arguments; the first error ends it.
class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedCommandLine Parse();

private:
    void Operand(const std::string& arg);
    void LongOption(const std::string& arg);
    void ShortOptions(const std::string& arg);
    // Takes the next argument as the value of the option shown as `shown`.
    void ApplyWithNext(const OptionSpec& spec, const std::string& shown);
    void Apply(const OptionSpec& spec, const std::string& shown, const std::string& value);
    void RefuseWhatEncodeDoesNotTake();

    const std::vector<std::string>& args_;
    std::size_t next_ = 0;  // the argument after the one being parsed
    ParsedCommandLine parsed_;
    bool help_ = false;
    bool version_ = false;
    bool optionsEnded_ = false;
    std::vector<OptionId> given_;
    std::string error_;
};

ParsedCommandLine Parser::Parse() {
    while (next_ < args_.size() && error_.empty()) {
        const std::string& arg = args_[next_++];
        if (optionsEnded_ || arg == "-" || arg.size() < 2 || arg[0] != '-')
            Operand(arg);
        else if (arg == "--")
            optionsEnded_ = true;
        else if (arg[1] == '-')
            LongOption(arg);
        else
            ShortOptions(arg);
    }
    if (error_.empty() && parsed_.options.encodeScheme != nullptr)
        RefuseWhatEncodeDoesNotTake();

    if (help_ || version_) {
        parsed_.action =
            help_ ? ParsedCommandLine::Action::Help : ParsedCommandLine::Action::Version;
    } else if (!error_.empty()) {
        parsed_.action = ParsedCommandLine::Action::Error;
        parsed_.error = error_;
    }
    if (parsed_.options.inputs.empty())
        parsed_.options.inputs.push_back({InputSource::Kind::StandardInput, {}});
    return std::move(parsed_);
}

void Parser::Operand(const std::string& arg) {
    if (!optionsEnded_ && arg == "-")
        parsed_.options.inputs.push_back({InputSource::Kind::StandardInput, {}});
    else
        parsed_.options.inputs.push_back({InputSource::Kind::Argument, arg});
}

void Parser::LongOption(const std::string& arg) {
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
    const std::string shown = "--" + name;
    const OptionSpec* spec = FindLong(name);
    if (spec == nullptr)
        error_ = "unknown option '" + shown + "'" + kSeeHelp;
    else if (!spec->takesValue && equals != std::string::npos)
        error_ = "option '" + shown + "' takes no value" + kSeeHelp;
    else if (!spec->takesValue)
        Apply(*spec, shown, {});
    else if (equals != std::string::npos)
        Apply(*spec, shown, arg.substr(equals + 1));
    else
        ApplyWithNext(*spec, shown);
}

void Parser::ShortOptions(const std::string& arg) {
    for (std::size_t at = 1; at < arg.size() && error_.empty(); ++at) {
        const OptionSpec* spec = FindShort(arg[at]);
        const std::string shown = std::string("-") + arg[at];
        if (spec == nullptr) {
            error_ = "unknown option '" + shown + "'" + kSeeHelp;
        } else if (!spec->takesValue) {
            Apply(*spec, shown, {});
        } else if (at + 1 < arg.size()) {
            Apply(*spec, shown, arg.substr(at + 1));  // the rest of the argument is its value
            return;
        } else {
            ApplyWithNext(*spec, shown);
        }
    }
}

void Parser::ApplyWithNext(const OptionSpec& spec, const std::string& shown) {
    if (next_ == args_.size()) {
        error_ = "option '" + shown + "' needs a value" + kSeeHelp;
        return;
    }
    const std::string& value = args_[next_++];
    Apply(spec, shown, value);
}

void Parser::Apply(const OptionSpec& spec, const std::string& shown, const std::string& value) {
    given_.push_back(spec.id);
    CliOptions& o = parsed_.options;
    switch (spec.id) {
        case OptionId::Help:
            help_ = true;
            break;
        case OptionId::Version:
            version_ = true;
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
                error_ = "unknown charset '" + value + "' for " + shown +
                         ": auto, gbk, utf8 or raw" + kSeeHelp;
            }
            break;
        case OptionId::Encode:
            o.encodeScheme = linkdecode::FindLinkScheme(value);
            if (o.encodeScheme == nullptr) {
                error_ = "unknown scheme '" + value + "' for " + shown + ": " + SchemeList("") +
                         kSeeHelp;
            }
            break;
        case OptionId::File:
            o.inputs.push_back({InputSource::Kind::File, value});
            break;
        case OptionId::Open:
            o.desktop = CliOptions::Desktop::Open;
            o.openLink = value;
            break;
        case OptionId::RegisterHandler:
            o.desktop = CliOptions::Desktop::RegisterHandler;
            break;
        case OptionId::UnregisterHandler:
            o.desktop = CliOptions::Desktop::UnregisterHandler;
            break;
    }
}

void Parser::RefuseWhatEncodeDoesNotTake() {
    for (const OptionSpec& spec : kOptions) {
        if (!spec.withEncode && std::find(given_.begin(), given_.end(), spec.id) != given_.end()) {
            error_ = std::string("option '--") + spec.longName + "' does not apply to --encode" +
                     kSeeHelp;
            return;
        }
    }
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    return Parser(args).Parse();
}

std::string HelpText() {
    return R"(Usage: veltrun [OPTION]... [LINK]...
       veltrun --encode SCHEME [--charset gbk] [ADDRESS]...
Turn thunder://, flashget:// and qqdl:// links back into the download addresses
they wrap, or wrap addresses into such links.

Each LINK argument is one link, read exactly as given. With no LINK, or with
"-", veltrun reads standard input and unwraps every link it finds in the text
(web pages, lists, mail), one address per line in input order. A link runs from
its scheme to the first space, line break, quote, '<' or '>', or to the next
scheme once a byte that is no Base64 symbol has ended its payload.

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
      --open LINK        open the address LINK wraps with the desktop's own
                         program (xdg-open, or the browser on Windows), if it
                         is an http, https, ftp, magnet or ed2k address
                         without spaces or control characters; anything else
                         is only shown (also as a desktop notification)
      --register-handler
                         make veltrun --open what opens thunder://,
                         flashget:// and qqdl:// links for this user, and say
                         which program opened them before
      --unregister-handler
                         give each scheme back to that program
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
