#include "framework/wnd.h"

#include "framework/win_app.h"

CWnd CWnd::GetDlgItem(int nID) const {
    return CWnd(m_hWnd != nullptr ? ::GetDlgItem(m_hWnd, nID) : nullptr);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return m_hWnd != nullptr ? ::EnableWindow(m_hWnd, bEnable) : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_hWnd != nullptr ? ::IsWindowEnabled(m_hWnd) : FALSE;
}

void CWnd::GetWindowText(CString& text) const {
    text.Empty();
    if (m_hWnd == nullptr) {
        return;
    }
    // The length the system reports may exceed the text (never fall short of it).
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) {
        return;
    }
    const int copied = ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
}

void CWnd::SetWindowText(LPCSTR text) {
    if (m_hWnd != nullptr) {
        ::SetWindowTextA(m_hWnd, text != nullptr ? text : "");
    }
}

CWnd CWnd::SetFocus() {
    return CWnd(m_hWnd != nullptr ? ::SetFocus(m_hWnd) : nullptr);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return m_hWnd != nullptr ? ::SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

CMenu CWnd::GetSystemMenu(BOOL bRevert) const {
    return CMenu(m_hWnd != nullptr ? ::GetSystemMenu(m_hWnd, bRevert) : nullptr);
}

BOOL CWnd::IsIconic() const {
    return m_hWnd != nullptr ? ::IsIconic(m_hWnd) : FALSE;
}

void CWnd::GetClientRect(LPRECT rect) const {
    if (m_hWnd == nullptr || !::GetClientRect(m_hWnd, rect)) {
        ::SetRectEmpty(rect);
    }
}

LRESULT CWnd::Default() {
    if (m_pCurrentMessage != nullptr) {
        m_pCurrentMessage->wantsDefault = true;
    }
    return 0;
}

bool CWnd::DispatchToMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    UINT code = 0;
    UINT id = 0;
    if (message == WM_COMMAND) {
        id = LOWORD(wParam);
        // Menus and accelerators come without a control; they count as notification 0.
        code = lParam != 0 ? HIWORD(wParam) : 0;
    }
    CurrentMessage current = {message, false, m_pCurrentMessage};
    m_pCurrentMessage = &current;
    struct Restore {
        CWnd& wnd;
        CurrentMessage& current;
        ~Restore() { wnd.m_pCurrentMessage = current.outer; }
    } restore{*this, current};

    if (const afx::MessageMapEntry* entry =
            afx::FindMessageEntry(GetMessageMap(), message, code, id)) {
        result = entry->call(*this, wParam, lParam);
        return !current.wantsDefault;
    }
    if (message == WM_COMMAND) {
        CWinApp* app = AfxGetApp();
        if (app != nullptr && app->OnCmdMsg(id, code)) {
            result = 0;
            return true;
        }
    }
    return false;
}
