#pragma once

#include <windows.h>

namespace e2e {

// Clicks a button as the mouse would, through the button itself (BM_CLICK). Posted, not sent: the
// click may open a message box, whose loop would block a sending caller.
void Click(HWND button);
// Presses and releases virtual key `vk` in `target`, which should be the focused window.
void PressKey(HWND target, UINT vk);
// Types `ascii` into `target` character by character, as the keyboard would after translation.
void TypeText(HWND target, const char* ascii);
// Waits until the thread of `edit` has handled every message posted to it before this call, or
// until it runs a message loop of a box opened by one of them. Uses the edit control's modified
// flag, so `edit` must be one whose flag the program itself never sets.
bool WaitForPostedMessages(HWND edit);

}  // namespace e2e
