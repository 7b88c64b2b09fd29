#include "app/link_decode_dlg.h"

#include <string>

#include "app/about_box.h"
#include "app/icon_origin.h"
#include "linkdecode/link_unwrap.h"
#include "res/resource.h"

namespace {

// The warning for a pasted text that holds a "/" but is none of the three links.
const char kNotALinkText[] = "您粘贴的内容不是迅雷/快车/旋风的下载地址!!!";
const char kNotALinkCaption[] = "错误提示";

// Posted to the dialog itself: decode the text it was opened with.
constexpr UINT WM_DECODE_OPEN_TEXT = WM_APP + 1;

// A C0 control or DEL. In code page 936 neither byte of a double-byte character is ever one.
bool HoldsControl(const CString& text) {
    for (int i = 0; i < text.GetLength(); ++i) {
        const auto byte = static_cast<unsigned char>(static_cast<LPCSTR>(text)[i]);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
    }
    return false;
}

}  // namespace

BEGIN_MESSAGE_MAP(CLinkDecodeDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_PASTE_DECODE, OnPasteDecode)
ON_BN_CLICKED(IDC_COPY_DECODED, OnCopyDecoded)
ON_MESSAGE(WM_DECODE_OPEN_TEXT, OnDecodeOpenText)
END_MESSAGE_MAP()

CLinkDecodeDlg::CLinkDecodeDlg()
    : CDialog(IDD_MAIN_DIALOG), m_mainIcon(AfxGetApp()->LoadIcon(IDR_MAIN_ICON)) {}

BOOL CLinkDecodeDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CMenu sysMenu = GetSystemMenu(FALSE);
    if (sysMenu.m_hMenu != nullptr) {
        CString aboutText;
        aboutText.LoadString(IDS_ABOUT_MENU);
        if (!aboutText.IsEmpty()) {
            sysMenu.AppendMenu(MF_SEPARATOR);
            sysMenu.AppendMenu(MF_STRING, IDM_ABOUT_BOX, aboutText);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_mainIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_mainIcon));
    if (m_openText) {
        ::PostMessageA(m_hWnd, WM_DECODE_OPEN_TEXT, 0, 0);
    }
    return TRUE;
}

void CLinkDecodeDlg::DecodeOnOpen(const CString& text) {
    m_openText = text;
}

void CLinkDecodeDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUT_BOX) {
        CAboutBox about;
        about.DoModal();
    } else {
        Default();
    }
}

void CLinkDecodeDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    dc.DrawIcon(CenteredIconOrigin(client.right - client.left, iconWidth),
                CenteredIconOrigin(client.bottom - client.top, iconHeight), m_mainIcon);
}

HCURSOR CLinkDecodeDlg::OnQueryDragIcon() {
    return static_cast<HCURSOR>(m_mainIcon);
}

void CLinkDecodeDlg::OnPasteDecode() {
    CWnd input = GetDlgItem(IDC_LINK_INPUT);
    input.SendMessage(EM_SETSEL, 0, -1);
    input.SendMessage(EM_SCROLLCARET, 0, 0);
    // The paste stops at the edit control's own text limit, far beyond any real link and never
    // raised: a huge clipboard text would stall the dialog, as a multi-line box wraps one
    // unbroken line at a cost that grows with the square of its length.
    input.SendMessage(WM_PASTE, 0, 0);

    DecodeInputBox();
}

LRESULT CLinkDecodeDlg::OnDecodeOpenText(WPARAM, LPARAM) {
    if (!m_openText) {
        return 0;
    }
    const CString text = *m_openText;
    m_openText.reset();
    if (HoldsControl(text)) {
        RefuseInput();
        return 0;
    }
    // Placed as a paste places it, so the box's own limit applies; a text the box cut short
    // would give the start of some other address, so it is refused.
    CWnd input = GetDlgItem(IDC_LINK_INPUT);
    input.SendMessage(EM_SETSEL, 0, -1);
    input.SendMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(text)));
    CString held;
    input.GetWindowText(held);
    if (held != text) {
        RefuseInput();
        return 0;
    }
    DecodeInputBox();
    return 0;
}

void CLinkDecodeDlg::DecodeInputBox() {
    CWnd input = GetDlgItem(IDC_LINK_INPUT);
    CString pasted;
    input.GetWindowText(pasted);
    const linkdecode::UnwrapResult result =
        linkdecode::UnwrapDownloadLink(std::string(pasted, pasted.GetLength()));

    switch (result.outcome) {
        case linkdecode::UnwrapOutcome::Ignored:
            break;
        case linkdecode::UnwrapOutcome::NotALink:
            RefuseInput();
            break;
        case linkdecode::UnwrapOutcome::Decoded:
            GetDlgItem(IDC_DECODED_OUTPUT).SetWindowText(result.text.c_str());
            GetDlgItem(IDC_COPY_DECODED).EnableWindow(TRUE);
            break;
    }
}

void CLinkDecodeDlg::RefuseInput() {
    GetDlgItem(IDC_LINK_INPUT).SetWindowText("");
    GetDlgItem(IDC_DECODED_OUTPUT).SetWindowText("");
    GetDlgItem(IDC_COPY_DECODED).EnableWindow(FALSE);
    // No owner: the dialog stays usable, and further refusals stack further boxes.
    ::MessageBoxA(nullptr, kNotALinkText, kNotALinkCaption, MB_OK | MB_ICONEXCLAMATION);
}

void CLinkDecodeDlg::OnCopyDecoded() {
    CWnd output = GetDlgItem(IDC_DECODED_OUTPUT);
    CString decoded;
    output.GetWindowText(decoded);
    if (decoded.IsEmpty()) {
        return;
    }
    output.SetFocus();
    output.SendMessage(EM_SETSEL, 0, -1);
    output.SendMessage(EM_SCROLLCARET, 0, 0);
    output.SendMessage(WM_COPY, 0, 0);
}
