#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// Window class name, e.g. "#32770" for a dialog.
std::string ClassName(HWND window);
// The whole text of a window of any process, as the window itself answers WM_GETTEXT (bytes in
// the ANSI code page). Empty if the window does not answer in time.
std::string WindowText(HWND window);
// Replaces a window's text by WM_SETTEXT, as a program would; false if it was refused.
bool SetWindowTextOf(HWND window, const std::string& text);
// The most characters the user can put into edit control `edit` (EM_GETLIMITTEXT), 0 if it
// does not answer in time.
size_t TextLimit(HWND edit);
// GWL_STYLE and GWL_EXSTYLE.
DWORD Style(HWND window);
DWORD ExStyle(HWND window);
// The control id as a dialog template stores it: 0xFFFF for the "no id" of -1.
WORD ControlId(HWND window);
// The window's owner, null for an ownerless top-level window.
HWND Owner(HWND window);
// Child windows in z-order, which for a dialog is creation and tab order.
std::vector<HWND> Children(HWND parent);
// Visible top-level windows of process `pid` with class `className`, topmost first.
std::vector<HWND> TopLevelWindows(DWORD pid, const char* className = "#32770");
// The window that has the keyboard focus in thread `threadId`, null if none.
HWND FocusOf(DWORD threadId);
// True if the window's thread takes a message within the bound (it is not hung).
bool Responds(HWND window);

}  // namespace e2e
