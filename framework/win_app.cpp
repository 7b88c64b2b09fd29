#include "framework/win_app.h"

#include <commctrl.h>
#include <shellapi.h>

#include <memory>

namespace {
CWinApp* g_app = nullptr;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) {
        g_app = nullptr;
    }
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

BOOL CWinApp::Enable3dControls() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&controls);
}

void CWinApp::OnHelp() {}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    LPCSTR name = MAKEINTRESOURCEA(nIDResource);
    return ::LoadIconA(AfxFindResourceHandle(name, RT_GROUP_ICON), name);
}

CWinApp* AfxGetApp() {
    return g_app;
}

CWnd* AfxGetMainWnd() {
    return g_app != nullptr ? g_app->m_pMainWnd : nullptr;
}

std::vector<CString> AfxGetArguments() {
    std::vector<CString> arguments;
    int count = 0;
    // Split in UTF-16, where a quote or a backslash is always itself: in code page 936 the
    // second byte of a double-byte character may be a backslash.
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> argv(
        ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
    if (argv == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        const LPCWSTR wide = argv.get()[i];
        const int length = ::lstrlenW(wide);
        const int size =
            ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
        CString narrow;
        if (size > 0) {
            ::WideCharToMultiByte(CP_ACP, 0, wide, length, narrow.GetBuffer(size), size, nullptr,
                                  nullptr);
            narrow.ReleaseBuffer(size);
        }
        arguments.push_back(narrow);
    }
    return arguments;
}

void AfxEnableControlContainer() {}

HINSTANCE AfxFindResourceHandle(LPCSTR, LPCSTR) {
    if (g_app != nullptr && g_app->m_hInstance != nullptr) {
        return g_app->m_hInstance;
    }
    return ::GetModuleHandleA(nullptr);
}

int AfxWinMain(HINSTANCE hInstance) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    app->m_hInstance = hInstance;
    try {
        if (!app->InitInstance()) {
            return 0;
        }
        return app->Run();
    } catch (...) {
        return 1;
    }
}
