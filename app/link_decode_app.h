#pragma once

#include "framework/afxwin.h"

// The application: runs the main dialog once and ends when it closes.
class CLinkDecodeApp : public CWinApp {
public:
    // The single global instance is built during static initialisation.
    CLinkDecodeApp();

    // Runs the main dialog modally and returns FALSE, so the process ends when it closes.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
