#include "app/link_decode_app.h"

#include "app/link_decode_dlg.h"

#include <vector>

BEGIN_MESSAGE_MAP(CLinkDecodeApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CLinkDecodeApp::CLinkDecodeApp() = default;

BOOL CLinkDecodeApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();

    CLinkDecodeDlg dlg;
    // One argument is a link clicked elsewhere, handed over by the shell; any other count is
    // not, and the dialog opens empty as it always has.
    const std::vector<CString> arguments = AfxGetArguments();
    if (arguments.size() == 1) {
        dlg.DecodeOnOpen(arguments.front());
    }
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

CLinkDecodeApp theApp;
