#pragma once

// Every resource and control id of the program. Plain defines: the resource compiler reads
// this file too.

#define IDD_ABOUT_BOX 100
#define IDS_ABOUT_MENU 101
#define IDD_MAIN_DIALOG 102
#define IDR_MAIN_ICON 128

#define IDC_LINK_INPUT 1001
#define IDC_DECODED_OUTPUT 1002
#define IDC_PASTE_DECODE 1003
#define IDC_COPY_DECODED 1004

// System-menu command of the About item; the system keeps the low four bits for itself.
#define IDM_ABOUT_BOX 0x0010
