#pragma once

#include <windows.h>

#include "framework/wnd.h"

// A modal dialog from a dialog template of the program's resources.
//
// The dialog procedure is one static trampoline that finds the object through DWLP_USER (set at
// WM_INITDIALOG) and dispatches through the message map. No exception leaves it: a handler that
// throws ends the dialog with IDABORT.
class CDialog : public CWnd {
public:
    // Binds the dialog to template `nIDTemplate`, owned by `pParentWnd`; a null parent means the
    // application's main window at the time DoModal runs, if it has one.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog, runs it until EndDialog and returns EndDialog's result, or -1 when the
    // dialog could not be created. The owner is disabled while the dialog runs. A dialog that
    // OnInitDialog neither moved nor showed opens centred over its owner, or over the work area
    // of its monitor when it has no visible owner.
    virtual INT_PTR DoModal();

    // Called once the dialog and its controls exist, before it is shown. Returns TRUE to give
    // the focus to the first tab stop, FALSE when the override has set the focus itself.
    virtual BOOL OnInitDialog();

    // The default for IDOK (also Enter with no default button): ends the dialog with IDOK.
    virtual void OnOK();

    // The default for IDCANCEL (also Escape and the close box): ends the dialog with IDCANCEL.
    virtual void OnCancel();

    // Ends the modal dialog with `nResult`, once the current message has been handled.
    void EndDialog(int nResult);

protected:
    // F1 (WM_HELP): sends the help command ID_HELP, which the application's map handles.
    LRESULT OnHelpInfo(WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    INT_PTR HandleInitDialog(HWND hWnd);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND ResolveOwner() const;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
};
