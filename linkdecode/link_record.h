#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "linkdecode/link_reader.h"

namespace linkdecode {

// What a reading session gives for one link of a text, or for a link given whole. The views
// stay valid until the next call on the session that gave it.
struct LinkRecord {
    // The link as read: from its scheme on, without text after a gap that repair found not to
    // belong to it. For a link too long to read, its first bytes.
    std::string_view input;
    std::uint64_t line = 0;      // 1-based line of the link in its text; 0 for a link given whole
    std::size_t fullLength = 0;  // bytes of the whole link, above input.size() when tooLong
    bool tooLong = false;        // longer than a session reads: not read, `reading` is empty
    bool linkFurtherIn = false;  // a link given whole and refused holds a link further in
    LinkReading reading;
};

// Who is given a field of a record, from the fewest front ends to the most fields.
enum class FieldScope : unsigned char {
    Every,     // every front end: `veltrun --json`, the Python and npm packages, the rows
    Row,       // the rows of the page and the extension besides
    Rendered,  // rows too, as null without an address; with one, made when a row first reads it
};

// The fields of a record in the order JSON writes them; RecordFieldInfo lists each once.
enum class RecordField : unsigned char {
    Input,              // the link as read, a JSON string whatever its bytes
    Line,               // `line`, null when 0
    Scheme,             // the scheme's name, null unless Decoded
    Outcome,            // OutcomeName
    Address,            // the address rendered, null unless Decoded
    Charset,            // the charset it was read in, null unless Decoded
    Bytes,              // the exact address in Base64, null unless Decoded
    Repairs,            // the ids of the repairs made, in the order of kLinkRepairs
    Detail,             // NotAnAddress, CutShort: what the link decodes to; null otherwise
    InputShown,         // the start of the input as a row shows it
    TooLong,            // `tooLong`
    RepairWouldDecode,  // Strict: repair mode gives this one an address
    Openable,           // the address is one a page may offer to open
    AddressShown,       // the address as a row shows it
    PercentOwn,         // percent-encoded from the address bytes themselves
    PercentUtf8,        // percent-encoded from the text read
};

struct RecordFieldInfo {
    RecordField field;
    std::string_view name;
    FieldScope scope;
};

inline constexpr RecordFieldInfo kRecordFields[] = {
    {RecordField::Input, "input", FieldScope::Every},
    {RecordField::Line, "line", FieldScope::Every},
    {RecordField::Scheme, "scheme", FieldScope::Every},
    {RecordField::Outcome, "outcome", FieldScope::Every},
    {RecordField::Address, "address", FieldScope::Every},
    {RecordField::Charset, "charset", FieldScope::Every},
    {RecordField::Bytes, "bytes", FieldScope::Every},
    {RecordField::Repairs, "repairs", FieldScope::Every},
    {RecordField::Detail, "detail", FieldScope::Every},
    {RecordField::InputShown, "inputShown", FieldScope::Row},
    {RecordField::TooLong, "tooLong", FieldScope::Row},
    {RecordField::RepairWouldDecode, "repairWouldDecode", FieldScope::Row},
    {RecordField::Openable, "openable", FieldScope::Row},
    {RecordField::AddressShown, "addressShown", FieldScope::Rendered},
    {RecordField::PercentOwn, "percentOwn", FieldScope::Rendered},
    {RecordField::PercentUtf8, "percentUtf8", FieldScope::Rendered},
};

constexpr bool RecordFieldsInOrder() {
    FieldScope scope = FieldScope::Every;
    for (std::size_t i = 0; i < std::size(kRecordFields); ++i) {
        if (kRecordFields[i].field != static_cast<RecordField>(i) || kRecordFields[i].scope < scope)
            return false;
        scope = kRecordFields[i].scope;
    }
    return true;
}
static_assert(RecordFieldsInOrder(), "a field's row is its index, scopes never narrow");

// The name a record gives its outcome: the reading's (kReadOutcomes), or "TooLong" for a link
// not read.
std::string_view OutcomeName(const LinkRecord& record);

}  // namespace linkdecode
