#pragma once

#include <optional>

#include "framework/afxwin.h"

// The main dialog: template IDD_MAIN_DIALOG, no parent. The two boxes hold all the state; the
// handlers keep none between messages.
class CLinkDecodeDlg : public CDialog {
public:
    // Binds the dialog to its template and loads the main icon, which lives as long as the
    // process.
    CLinkDecodeDlg();

    // Adds the About item to the system menu (when its text is not empty) and sets both icons;
    // returns TRUE so the input box gets the focus.
    BOOL OnInitDialog() override;

    // Makes the dialog, once open, put `text` in the input box and decode it as a paste of it
    // would; a text with a control character, or longer than the box holds, is refused with
    // the warning box instead.
    void DecodeOnOpen(const CString& text);

protected:
    // Opens the About box for the About item (any id whose low four bits are cleared to
    // IDM_ABOUT_BOX), and leaves every other system command to the system.
    void OnSysCommand(UINT nID, LPARAM lParam);

    // Draws the icon centred on an erased icon background while minimised; otherwise leaves
    // painting to the system.
    void OnPaint();

    // The icon shown while the minimised window is dragged.
    HCURSOR OnQueryDragIcon();

    // Pastes the clipboard over the input box's text and shows the address the text hides,
    // or empties both boxes and warns when it holds a "/" but is no link.
    void OnPasteDecode();

    // Puts the output box's whole text on the clipboard, unless it is empty.
    void OnCopyDecoded();

    // Posted by OnInitDialog, so that the text given to DecodeOnOpen is decoded, and any
    // warning shown, over a dialog that is already on screen.
    LRESULT OnDecodeOpenText(WPARAM wParam, LPARAM lParam);

private:
    // Hands the input box's text to the link logic and shows its answer.
    void DecodeInputBox();

    // Empties both boxes, disables Copy and shows the warning box.
    void RefuseInput();

    HICON m_mainIcon;
    std::optional<CString> m_openText;

    DECLARE_MESSAGE_MAP()
};
