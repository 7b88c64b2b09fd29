#pragma once

namespace veltrun {

// `veltrun --register-handler`: makes this veltrun, with --open, what opens thunder://,
// flashget:// and qqdl:// links for the current user, and says which program opened each
// before. Windows: keys in HKEY_CURRENT_USER\Software\Classes (a per-user registration of
// another program is left alone and named). Elsewhere: a desktop entry, veltrun.desktop, in
// $XDG_DATA_HOME/applications (~/.local/share/applications) that records the previous defaults,
// made the default by `xdg-mime default`. Returns 0, or 2 when something could not be written.
int RegisterHandler();

// `veltrun --unregister-handler`: undoes RegisterHandler for the current user; each scheme
// goes back to the program that opened it before (on Windows, the machine's own registration),
// and what opens it now is said. Only what RegisterHandler wrote is removed. Returns 0, or 2.
int UnregisterHandler();

}  // namespace veltrun
