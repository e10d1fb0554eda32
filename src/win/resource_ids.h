#pragma once

// The numbers that name the window's resources and controls. The resource
// script and the code share them.

#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDI_VESKARI 128

#define IDC_REPORT 1000
#define IDC_SELECT_FILE 1001
#define IDC_CLEAR 1002
#define IDC_SAVE 1003
#define IDC_STOP 1004
#define IDC_STATUS 1005
#define IDC_PROBLEMS_HEADING 1006
#define IDC_PROBLEMS 1007

#define IDS_ABOUT_ENTRY 101
#define IDS_SELECT_TITLE 102
#define IDS_ANALYSING 103
#define IDS_DONE 104
#define IDS_STOPPED 105
#define IDS_FAILED 106
#define IDS_SUMMARY 107
#define IDS_PROBLEMS_HEADING 108
#define IDS_SAVE_TITLE 109
#define IDS_SAVE_CRLF 110
#define IDS_SAVE_LF 111
#define IDS_SAVE_FAILED 112
#define IDS_SELECTION_TOO_LONG 113
#define IDS_STOPPING 114

// The system menu's about entry: a command id with its low four bits clear,
// as the system reserves those for its own use.
#define IDM_ABOUT 0x0010
