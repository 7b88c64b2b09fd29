#pragma once

#include <string>
#include <string_view>

#include "linkdecode/link_unwrap.h"

namespace linkdecode {

// Returns the row of kLinkSchemes whose prefix, without "://", is `name` ("thunder",
// "flashget", "qqdl"; lower case, compared exactly), or nullptr for any other name.
const LinkScheme* FindLinkScheme(std::string_view name);

// The reverse of UnwrapDownloadLink for one scheme: glues the scheme's markers to the ends of
// `address` ("AA" and "ZZ" for Thunder, "[FLASHGET]" at both ends for FlashGet, none for
// Whirlwind) and returns the prefix followed by the padded standard Base64 of the result.
//
// `scheme` must be a row of kLinkSchemes. For every `address` without a zero byte,
// UnwrapDownloadLink(WrapDownloadLink(scheme, address)) is Decoded with `address` back; an
// address holding a zero byte comes back cut there, so callers refuse such addresses.
std::string WrapDownloadLink(const LinkScheme& scheme, std::string_view address);

}  // namespace linkdecode
