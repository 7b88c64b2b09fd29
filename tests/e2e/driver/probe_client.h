#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app_process.h"
#include "probe_protocol.h"

namespace e2e {

// Asks the probe DLL, loaded into `process` on first use, a question about `window` (a window of
// that process) and returns its answer; nothing if the probe could not be loaded or run.
std::optional<std::string> AskProbe(const AppProcess& process, probe::Question question,
                                    HWND window);

}  // namespace e2e
