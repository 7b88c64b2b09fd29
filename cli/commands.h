#pragma once

#include <string>
#include <vector>

namespace veltrun {

// Runs the command line `args` (the arguments after the program name, UTF-8) and returns the
// exit status: 0 when every input gave a result, 1 when some input held no link, was refused
// or decoded to nothing, 2 for usage and input/output errors. Writes results to standard
// output and messages ("veltrun: <what>: <reason>") to standard error.
int RunVeltrun(const std::vector<std::string>& args);

}  // namespace veltrun
