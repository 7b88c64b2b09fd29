#include "app/link_decode_app.h"

#include "app/link_decode_dlg.h"

BEGIN_MESSAGE_MAP(CLinkDecodeApp, CWinApp)
ON_COMMAND(ID_HELP, CWinApp::OnHelp)
END_MESSAGE_MAP()

CLinkDecodeApp::CLinkDecodeApp() = default;

BOOL CLinkDecodeApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();

    CLinkDecodeDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

CLinkDecodeApp theApp;
