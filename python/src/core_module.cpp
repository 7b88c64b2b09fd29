// The core as the Python extension veltrun._core. It moves bytes in and JSON records out: each
// record is the line `veltrun --json` writes for the same link, made by the same calls, and the
// package's Python layer only parses it.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/gb_converter.h"
#include "linkdecode/charset.h"
#include "linkdecode/json_record.h"
#include "linkdecode/link_finder.h"
#include "linkdecode/link_reader.h"
#include "linkdecode/link_wrap.h"

namespace py = pybind11;

namespace {

// The text is given to the finder in pieces of this size, so a caller who stops early pays
// only for the part read.
constexpr std::size_t kPieceBytes = 1 << 16;

std::string_view View(const py::bytes& bytes) {
    return {PyBytes_AS_STRING(bytes.ptr()),
            static_cast<std::size_t>(PyBytes_GET_SIZE(bytes.ptr()))};
}

// ValueError for an unknown `what` named `name`, listing the names it may take.
[[noreturn]] void Unknown(const char* what, const std::string& name,
                          const std::vector<std::string_view>& names) {
    std::string message = std::string("unknown ") + what + " '" + name + "': ";
    for (std::size_t i = 0; i < names.size(); ++i)
        message.append(i == 0 ? "" : i + 1 < names.size() ? ", " : " or ").append(names[i]);
    throw py::value_error(message);
}

// The charset named `name` among `allowed`.
linkdecode::Charset ParseCharset(const std::string& name,
                                 std::initializer_list<linkdecode::Charset> allowed) {
    std::vector<std::string_view> names;
    for (const linkdecode::Charset charset : allowed) {
        if (name == linkdecode::CharsetName(charset))
            return charset;
        names.push_back(linkdecode::CharsetName(charset));
    }
    Unknown("charset", name, names);
}

linkdecode::ReadOptions Options(bool lenient, const std::string& charset) {
    using linkdecode::Charset;
    return {lenient ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict,
            ParseCharset(charset, {Charset::Auto, Charset::Gbk, Charset::Utf8})};
}

// Reads `text`, a link given whole or found, and returns its JSON record, as the CLI does.
std::string Record(std::string_view text, std::uint64_t line, linkdecode::ReadOptions options,
                   linkdecode::LinkReading& reading) {
    linkdecode::ReadLink(text, options, reading);
    std::string record;
    // Text after a gap that repair found not to belong to the link is no part of it.
    linkdecode::AppendJsonRecord(text.substr(0, reading.inputLength), line, reading,
                                 {reading.charset, false}, veltrun::PlatformGbConverter(), record);
    record.pop_back();  // the line break
    return record;
}

std::string Read(const py::bytes& link, bool lenient, const std::string& charset) {
    linkdecode::LinkReading reading;
    return Record(View(link), 0, Options(lenient, charset), reading);
}

// The links of one text, found a piece at a time.
class Finder {
public:
    Finder(py::bytes text, bool lenient, const std::string& charset)
        : text_(std::move(text)),
          options_(Options(lenient, charset)),
          finder_(options_.mode, linkdecode::kMaxLinkBytes) {}

    // The records of the links that end in the next piece of the text; None once it is read.
    std::optional<std::vector<std::string>> Next() {
        const std::string_view text = View(text_);
        if (at_ > text.size())
            return std::nullopt;
        if (at_ == text.size()) {
            finder_.Finish(links_);
            ++at_;
        } else {
            const std::string_view piece = text.substr(at_, kPieceBytes);
            finder_.Feed(piece, links_);
            at_ += piece.size();
        }
        std::vector<std::string> records;
        for (const linkdecode::FoundLink& link : links_) {
            // As the CLI: a link longer than the core reads is skipped, not read.
            if (link.fullLength == link.text.size())
                records.push_back(Record(link.text, link.line, options_, reading_));
        }
        finder_.Recycle(links_);
        return records;
    }

private:
    py::bytes text_;
    linkdecode::ReadOptions options_;
    linkdecode::LinkFinder finder_;
    std::vector<linkdecode::FoundLink> links_;
    linkdecode::LinkReading reading_;
    std::size_t at_ = 0;
};

std::string Wrap(const py::bytes& address, const std::string& schemeName,
                 const std::string& charset) {
    const linkdecode::LinkScheme* scheme = linkdecode::FindLinkScheme(schemeName);
    if (scheme == nullptr) {
        std::vector<std::string_view> names;
        for (const linkdecode::LinkScheme& row : linkdecode::kLinkSchemes)
            names.push_back(row.name);
        Unknown("scheme", schemeName, names);
    }
    using linkdecode::Charset;
    const bool toGb = ParseCharset(charset, {Charset::Utf8, Charset::Gbk}) == Charset::Gbk;
    const std::string_view bytes = View(address);
    std::string link;
    const linkdecode::WrapRefusal refusal =
        linkdecode::WrapAddress(*scheme, bytes, toGb, veltrun::PlatformGbConverter(), link);
    if (refusal != linkdecode::WrapRefusal::None)
        throw py::value_error(std::string(linkdecode::WrapRefusalText(refusal)));
    return link;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "The Veltrun core; use the functions of the veltrun package.";
    m.attr("version") = VELTRUN_VERSION;
    py::tuple schemes(std::size(linkdecode::kLinkSchemes));
    for (std::size_t i = 0; i < schemes.size(); ++i)
        schemes[i] = py::str(std::string(linkdecode::kLinkSchemes[i].name));
    m.attr("schemes") = schemes;
    m.def("read", &Read, py::arg("link"), py::arg("lenient"), py::arg("charset"),
          "The JSON record of one link given whole.");
    m.def("wrap", &Wrap, py::arg("address"), py::arg("scheme"), py::arg("charset"),
          "The link of `scheme` for `address`; ValueError with the reason it cannot be made.");
    py::class_<Finder>(m, "Finder", "The links of one text, found a piece at a time.")
        .def(py::init<py::bytes, bool, const std::string&>(), py::arg("text"), py::arg("lenient"),
             py::arg("charset"))
        .def("next", &Finder::Next,
             "The JSON records of the links that end in the next piece; None at the end.");
}
