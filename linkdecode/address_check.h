#pragma once

#include <string_view>

namespace linkdecode {

// How much a decoded address looks like one, for choosing between readings of a damaged link:
// 0, empty; 1, holds a control character or is text in neither UTF-8 nor GBK; 2, text; 3, text
// that starts with the scheme of an address (http, https, ftp, ed2k, magnet, or one of the
// private link schemes) followed by what such an address holds next.
int AddressPlausibility(std::string_view address);

// Whether decoded bytes read as an address of their own, as repair mode asks of a reading that
// no markers vouch for: a scheme name and "://" ("http://", "ed2k://", any name:// form), or
// "magnet:?", with something after it; or a host of dotted names (a last name of letters) or an
// IPv4 address, an optional port, then "/" ("www.example.com/a.rar"). Letter case does not
// matter. Words, a few letters, or a host cut before its "/" fail.
bool IsAddressShaped(std::string_view bytes);

// Whether a front end may open `address` or offer it as a link to open (the page's links,
// veltrun --open): it starts, in any letter case, with http://, https://, ftp://, ed2k:// or
// magnet:? and holds no space and no character the renderers escape (controls, direction
// marks), so that what is shown is what opens.
// Every other scheme (javascript:, data:, the private links) is refused.
bool IsOpenableAddress(std::string_view address);

}  // namespace linkdecode
