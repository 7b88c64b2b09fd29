// The least a Win32 program needs to show Veltrun's dialog and answer its paste button: a
// dialog procedure over the same template. The paste button copies the pasted text to the
// output box unchanged, so a start-up probe can drive both programs the same way.
#include <windows.h>

#include "resource.h"

namespace {

INT_PTR CALLBACK MinDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PASTE_DECODE: {
                    SetDlgItemTextA(dialog, IDC_LINK_INPUT, "");
                    SendDlgItemMessageA(dialog, IDC_LINK_INPUT, WM_PASTE, 0, 0);
                    char text[4096];
                    GetDlgItemTextA(dialog, IDC_LINK_INPUT, text, sizeof text);
                    SetDlgItemTextA(dialog, IDC_DECODED_OUTPUT, text);
                    return TRUE;
                }
                case IDOK:
                case IDCANCEL:
                    EndDialog(dialog, LOWORD(wParam));
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN_DIALOG), nullptr, MinDialogProc, 0);
    return 0;
}
