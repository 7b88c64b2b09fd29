#pragma once

#include "framework/afxwin.h"

// The About box: template IDD_ABOUT_BOX, the framework's OK and Cancel handling only.
class CAboutBox : public CDialog {
public:
    // Binds the box to its template with no parent given: DoModal then makes the main dialog
    // its owner.
    CAboutBox();
};
