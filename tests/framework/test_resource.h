#pragma once

// Resource ids of the framework tests' own resource script.

#define IDS_PLAIN 1
#define IDS_CHINESE 2
#define IDS_EMPTY 3
#define IDS_LONG_253 4
#define IDS_LONG_254 5
#define IDS_LONG_255 6
#define IDS_LONG_256 7
#define IDS_LONG_257 8
#define IDS_LONG_1000 9
#define IDS_CHINESE_LONG 10
#define IDS_OTHER_BLOCK 40
#define IDS_MISSING 41

#define IDD_TEST_DIALOG 100
#define IDC_MULTI_EDIT 1001
#define IDC_SINGLE_EDIT 1002
#define IDC_ACTION 1003
