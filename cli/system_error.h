#pragma once

#include <string>

namespace veltrun {

// The platform's last error code: GetLastError() on Windows, errno elsewhere.
long LastSystemError();

// A short English description of a code from LastSystemError, without a final full stop or
// line break, for "veltrun: <what>: <reason>" messages.
std::string DescribeSystemError(long code);

}  // namespace veltrun
