#pragma once

#include <string>

#include "linkdecode/read_mode.h"

namespace veltrun {

// `veltrun --open LINK`, as the desktop runs it for a clicked link: reads LINK in `mode` (Strict,
// the dialog's reading, unless --lenient asks for Repair) and hands the address to the desktop's
// own opener (ShellExecute on Windows, xdg-open elsewhere) only when it may be opened
// (linkdecode::IsOpenableAddress), percent-encoded from its own bytes so that no charset is
// guessed. Anything else is shown on standard error and, where notify-send exists, as a desktop
// notification, since a click has no terminal. Returns 0 when the address was handed over, 1 when
// it was refused, 2 when the opener failed.
int RunOpen(const std::string& link, linkdecode::ReadMode mode);

}  // namespace veltrun
