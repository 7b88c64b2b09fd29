#pragma once

#include <windows.h>

#include "framework/afx_string.h"
#include "framework/menu.h"
#include "framework/message_map.h"

// A window by its handle. The wrapper does not own the window: copies name the same window,
// and a wrapper of a null handle makes every call a harmless no-op that returns 0 or FALSE.
class CWnd : public CCmdTarget {
public:
    // Wraps `hWnd`, which may be null.
    explicit CWnd(HWND hWnd = nullptr) : m_hWnd(hWnd) {}

    // The handle, or null.
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The child with control id `nID`; wraps null when there is none.
    CWnd GetDlgItem(int nID) const;

    // Enables or disables mouse and keyboard input; returns TRUE when it was disabled before.
    BOOL EnableWindow(BOOL bEnable = TRUE);

    // TRUE when the window takes input.
    BOOL IsWindowEnabled() const;

    // Puts the whole text of the window, in the ANSI code page, into `text`.
    void GetWindowText(CString& text) const;

    // Replaces the whole text of the window with `text`.
    void SetWindowText(LPCSTR text);

    // Gives the window the keyboard focus; returns the window that had it, possibly null.
    CWnd SetFocus();

    // Sends `message` and returns its result once the window has handled it.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // The window's system menu (`bRevert` FALSE: the current one, to append to); a null menu
    // when the window has none. With `bRevert` TRUE restores the default one and returns null.
    CMenu GetSystemMenu(BOOL bRevert) const;

    // TRUE when the window is minimised.
    BOOL IsIconic() const;

    // Fills `rect` with the client area, in client coordinates (top left is 0, 0).
    void GetClientRect(LPRECT rect) const;

    // Asks for the system's default processing of the message now being handled by this
    // window's message map; it runs as soon as the handler returns. Returns 0. Outside a
    // handler it does nothing.
    LRESULT Default();

    HWND m_hWnd;

protected:
    // The message a handler of this window is handling, innermost first when handlers nest.
    struct CurrentMessage {
        UINT message;
        bool wantsDefault;
        CurrentMessage* outer;
    };

    // Runs the handler of the message map chain for `message` (for an unhandled WM_COMMAND, the
    // application's map next) and stores its result in `result`; returns false when no map has
    // one or the handler asked for Default, so the system's default processing must follow.
    bool DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    CurrentMessage* m_pCurrentMessage = nullptr;
};
