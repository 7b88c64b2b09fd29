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

#include "linkdecode/charset.h"
#include "linkdecode/json_record.h"
#include "linkdecode/link_wrap.h"
#include "linkdecode/platform_gb_converter.h"
#include "linkdecode/reading_session.h"

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

linkdecode::SessionOptions Options(bool lenient, const std::string& charset) {
    using linkdecode::Charset;
    return {{lenient ? linkdecode::ReadMode::Repair : linkdecode::ReadMode::Strict,
             ParseCharset(charset, {Charset::Auto, Charset::Gbk, Charset::Utf8})}};
}

// The JSON record of `record`, as the CLI writes it.
std::string Json(const linkdecode::LinkRecord& record) {
    std::string json;
    linkdecode::AppendJsonRecord(record, {record.reading.charset, false},
                                 linkdecode::FieldScope::Every, linkdecode::PlatformGbConverter(),
                                 json);
    json.pop_back();  // the line break
    return json;
}

std::string Read(const py::bytes& link, bool lenient, const std::string& charset) {
    linkdecode::ReadingSession session(Options(lenient, charset));
    return Json(session.ReadWhole(View(link)));
}

// The links of one text, found a piece at a time.
class Finder {
public:
    Finder(py::bytes text, bool lenient, const std::string& charset)
        : text_(std::move(text)), session_(Options(lenient, charset)) {}

    // The records of the links that end in the next piece of the text; None once it is read.
    std::optional<std::vector<std::string>> Next() {
        const std::string_view text = View(text_);
        if (at_ > text.size())
            return std::nullopt;
        if (at_ == text.size()) {
            session_.Finish();
            ++at_;
        } else {
            const std::string_view piece = text.substr(at_, kPieceBytes);
            session_.Feed(piece);
            at_ += piece.size();
        }
        std::vector<std::string> records;
        while (const linkdecode::LinkRecord* record = session_.Next()) {
            // As the CLI: a link longer than the core reads is skipped, not read.
            if (!record->tooLong)
                records.push_back(Json(*record));
        }
        return records;
    }

private:
    py::bytes text_;
    linkdecode::ReadingSession session_;
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
        linkdecode::WrapAddress(*scheme, bytes, toGb, linkdecode::PlatformGbConverter(), link);
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
    py::list fields;
    for (const linkdecode::RecordFieldInfo& field : linkdecode::kRecordFields) {
        if (field.scope == linkdecode::FieldScope::Every)
            fields.append(py::str(std::string(field.name)));
    }
    m.attr("record_fields") = py::tuple(fields);
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
