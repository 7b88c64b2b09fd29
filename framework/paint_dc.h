#pragma once

#include <windows.h>

#include "framework/wnd.h"

// The paint context of one WM_PAINT: BeginPaint on construction, EndPaint on destruction.
class CPaintDC {
public:
    // Opens painting of `wnd`, which must be handling WM_PAINT.
    explicit CPaintDC(CWnd* wnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    // The device context, valid until destruction.
    HDC GetSafeHdc() const { return m_hDC; }

    // Draws `icon` with its top-left corner at (`x`, `y`); FALSE when the system refuses.
    BOOL DrawIcon(int x, int y, HICON icon);

    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
    HDC m_hDC;
};
