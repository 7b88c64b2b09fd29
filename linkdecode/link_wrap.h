#pragma once

#include <string>
#include <string_view>

#include "linkdecode/charset.h"
#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// Returns the row of kLinkSchemes named `name` ("thunder", "flashget", "qqdl"; lower case,
// compared exactly), or nullptr for any other name.
const LinkScheme* FindLinkScheme(std::string_view name);

// The reverse of UnwrapDownloadLink for one scheme: glues the scheme's head and tail markers to
// the ends of `address` and returns the prefix followed by the padded standard Base64 of the
// result.
//
// `scheme` must be a row of kLinkSchemes. For every `address` without a zero byte,
// UnwrapDownloadLink(WrapDownloadLink(scheme, address)) is Decoded with `address` back; an
// address holding a zero byte comes back cut there, so callers refuse such addresses.
std::string WrapDownloadLink(const LinkScheme& scheme, std::string_view address);

// Why an address was not made into a link.
enum class WrapRefusal {
    None,
    Empty,     // a link of nothing reads as a link that lost its address
    ZeroByte,  // no link can carry a zero byte
    NotUtf8,   // GB18030 was asked for, but the address is not UTF-8 text to convert
    NoGbCode,  // GB18030 was asked for, and some character has no code in it
};

// Makes the link of `scheme` for `address` into `link` as WrapDownloadLink does, from the
// address's own bytes, or with `toGb18030` from its conversion by `gb`, as old Chinese links
// carry it. Returns None when `link` holds the link, which then unwraps to those bytes exactly;
// `link` is unspecified otherwise. An empty address is refused.
WrapRefusal WrapAddress(const LinkScheme& scheme, std::string_view address, bool toGb18030,
                        GbConverter& gb, std::string& link);

// The reason for `refusal` as every front end tells it, in lower case with no final stop ("" for
// None).
std::string_view WrapRefusalText(WrapRefusal refusal);

// The name of `refusal` for machines ("empty", "zero-byte", "not-utf8", "no-gb-code"; "" for
// None), as JSON and the script's texts know it.
std::string_view WrapRefusalId(WrapRefusal refusal);

}  // namespace linkdecode
