#pragma once

#include <memory>

#include "linkdecode/charset.h"

namespace linkdecode {

// Returns the platform's GB18030 converter: iconv on POSIX; on Windows code page 54936, or 936
// (GBK, which reads every two-byte code) where 54936 is missing. It lives until the process ends.
// The one unit of the core that calls the platform; a browser has none of these and its binding
// brings its own converter.
GbConverter& PlatformGbConverter();

}  // namespace linkdecode
