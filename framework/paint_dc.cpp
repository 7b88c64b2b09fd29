#include "framework/paint_dc.h"

CPaintDC::CPaintDC(CWnd* wnd) : m_ps(), m_hWnd(wnd->GetSafeHwnd()) {
    m_hDC = ::BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
}

BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) {
    return m_hDC != nullptr ? ::DrawIcon(m_hDC, x, y, icon) : FALSE;
}
