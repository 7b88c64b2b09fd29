#include "framework/dialog.h"

#include <commctrl.h>

#include "framework/win_app.h"

namespace {

// Messages whose result a dialog procedure returns itself instead of through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return true;
        default:
            return false;
    }
}

// Centres `window` over its owner when that is visible and not minimised, else over the work
// area of the nearest monitor, and keeps it inside that work area.
void CenterWindow(HWND window) {
    RECT own;
    ::GetWindowRect(window, &own);
    HWND owner = ::GetWindow(window, GW_OWNER);
    const bool overOwner = owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner);

    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    RECT area;
    if (::GetMonitorInfoA(::MonitorFromWindow(overOwner ? owner : window, MONITOR_DEFAULTTONEAREST),
                          &monitor)) {
        area = monitor.rcWork;
    } else {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT center = area;
    if (overOwner) {
        ::GetWindowRect(owner, &center);
    }

    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = (center.left + center.right) / 2 - width / 2;
    int y = (center.top + center.bottom) / 2 - height / 2;
    if (x + width > area.right) {
        x = area.right - width;
    }
    if (x < area.left) {
        x = area.left;
    }
    if (y + height > area.bottom) {
        y = area.bottom - height;
    }
    if (y < area.top) {
        y = area.top;
    }
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// True for a multi-line edit box that leaves the Enter key to its dialog.
bool IsEditLeavingEnter(HWND window) {
    char name[8] = {};
    if (::GetClassNameA(window, name, sizeof(name)) == 0 || ::lstrcmpiA(name, "Edit") != 0) {
        return false;
    }
    const LONG_PTR style = ::GetWindowLongPtrA(window, GWL_STYLE);
    return (style & ES_MULTILINE) != 0 && (style & ES_WANTRETURN) == 0;
}

// Some edit controls claim every key, Enter included, from the dialog manager; this one
// gives Enter back, so that the dialog sees it.
LRESULT CALLBACK EnterToDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR) {
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, &EnterToDialogProc, id);
    }
    LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    const auto* key = reinterpret_cast<const MSG*>(lParam);
    if (message == WM_GETDLGCODE && key != nullptr && key->message == WM_KEYDOWN &&
        key->wParam == VK_RETURN) {
        result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
    }
    return result;
}

BOOL CALLBACK LeaveEnterToDialog(HWND child, LPARAM) {
    if (IsEditLeavingEnter(child)) {
        ::SetWindowSubclass(child, &EnterToDialogProc, 0, 0);
    }
    return TRUE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
ON_MESSAGE(WM_HELP, OnHelpInfo)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

INT_PTR CDialog::DoModal() {
    LPCSTR name = MAKEINTRESOURCEA(m_nIDTemplate);
    const INT_PTR result =
        ::DialogBoxParamA(AfxFindResourceHandle(name, RT_DIALOG), name, ResolveOwner(),
                          &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult) {
    if (m_hWnd != nullptr) {
        ::EndDialog(m_hWnd, nResult);
    }
}

LRESULT CDialog::OnHelpInfo(WPARAM, LPARAM) {
    SendMessage(WM_COMMAND, ID_HELP, 0);
    return TRUE;
}

HWND CDialog::ResolveOwner() const {
    if (m_pParentWnd != nullptr) {
        return m_pParentWnd->GetSafeHwnd();
    }
    CWnd* main = AfxGetMainWnd();
    if (main == nullptr || main == this || !::IsWindow(main->GetSafeHwnd())) {
        return nullptr;
    }
    return main->GetSafeHwnd();
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    try {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<CDialog*>(lParam);
            ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
            return self->HandleInitDialog(hWnd);
        }
        // Messages before WM_INITDIALOG (WM_SETFONT, ...) find no object yet.
        auto* self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
        if (self == nullptr) {
            return FALSE;
        }
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        }
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's code: give up on this dialog instead.
        ::EndDialog(hWnd, IDABORT);
        return FALSE;
    }
}

INT_PTR CDialog::HandleInitDialog(HWND hWnd) {
    m_hWnd = hWnd;
    ::EnumChildWindows(hWnd, &LeaveEnterToDialog, 0);
    RECT before;
    ::GetWindowRect(hWnd, &before);
    const BOOL result = OnInitDialog();
    RECT after;
    ::GetWindowRect(hWnd, &after);
    if (::EqualRect(&before, &after) && !::IsWindowVisible(hWnd) &&
        (::GetWindowLongPtrA(hWnd, GWL_STYLE) & WS_CHILD) == 0) {
        CenterWindow(hWnd);
    }
    return result;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!DispatchToMap(message, wParam, lParam, result)) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
