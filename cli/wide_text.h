#pragma once

#ifdef _WIN32

#include <string>

namespace veltrun {

// UTF-8 as UTF-16 and back, for the system's wide functions. A sequence that is no character
// becomes U+FFFD.
std::wstring WideFromUtf8(const std::string& utf8);
std::string Utf8FromWide(const std::wstring& wide);

}  // namespace veltrun

#endif
