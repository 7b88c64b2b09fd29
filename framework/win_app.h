#pragma once

#include <windows.h>

#include <vector>

#include "framework/afx_string.h"
#include "framework/message_map.h"
#include "framework/wnd.h"

// The standard help command (F1).
constexpr UINT ID_HELP = 0xE146;

// The application object. A program defines exactly one global instance of a class derived
// from it; the entry point runs its InitInstance.
class CWinApp : public CCmdTarget {
public:
    // Registers the object as the application.
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The program's start-up. Returns FALSE to end the process at once, TRUE to run the message
    // loop of Run until WM_QUIT. The default returns TRUE.
    virtual BOOL InitInstance();

    // Retrieves and dispatches messages until WM_QUIT; returns its exit code.
    virtual int Run();

    // Registers the standard control classes (InitCommonControlsEx, ICC_STANDARD_CLASSES);
    // returns TRUE when that worked. The themed look comes from the manifest, not from here.
    BOOL Enable3dControls();

    // The default help handler. The program ships no help content, so it shows nothing.
    void OnHelp();

    // The group icon `nIDResource` of the program's resources at the system's large icon size,
    // shared by the system (never to be destroyed); null when it is missing.
    HICON LoadIcon(UINT nIDResource) const;

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;  // not owned

    DECLARE_MESSAGE_MAP()
};

// The application object, or null before it is built and after it is destroyed.
CWinApp* AfxGetApp();

// The application's main window, or null.
CWnd* AfxGetMainWnd();

// The arguments after the program's name, split as the C runtime splits a command line and
// converted to the ANSI code page; a character the code page lacks becomes "?".
std::vector<CString> AfxGetArguments();

// Allows dialogs to host ActiveX controls. The program hosts none, so nothing needs doing.
void AfxEnableControlContainer();

// The module to load resource `name` of type `type` from. The program keeps every resource in
// its executable, so neither is looked at: the application's instance handle, or the
// executable's module handle while the application has none.
HINSTANCE AfxFindResourceHandle(LPCSTR name, LPCSTR type);

// The framework's part of the entry point: runs the application object's InitInstance and,
// when it returns TRUE, its Run. Returns the process exit code: 0 when InitInstance returns
// FALSE, Run's result otherwise, 1 when there is no application object or it throws.
int AfxWinMain(HINSTANCE hInstance);
