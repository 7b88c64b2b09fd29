#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veltrun {

// Runs the program `args[0]`, found on PATH, with the arguments that follow, no shell between,
// and waits for it. Returns its exit status, or nothing when it could not be started or did
// not exit normally. With `output`, its standard output is collected there; otherwise it
// shares ours. Its standard input is /dev/null. POSIX only.
std::optional<int> RunProgram(const std::vector<std::string>& args, std::string* output = nullptr);

// Whether a program of that name is on PATH. POSIX only.
bool ProgramExists(const std::string& name);

}  // namespace veltrun
