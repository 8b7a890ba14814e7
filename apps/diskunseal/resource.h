// The numbers of diskunseal's dialogs, controls, strings and menu commands, as its resource tables declare them and
// UI scripts name them.
#pragma once

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_DISKUNSEAL_DIALOG 102
#define IDD_BACKDROP 129
#define IDD_MESSAGE 137

// Strings, the system menu's own item, the icon and the backdrop's bitmap.
#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 16
#define IDR_MAINFRAME 128
#define IDB_BACKDROP 130

// The About box.
#define IDC_ABOUT_TEXT 1035

// The main dialog.
#define IDC_PASSWORD 1000
#define IDC_PROGRESS_BAR 1002
#define IDC_PROGRESS_TEXT 1004
#define IDC_KEY_PUZZLE 1007
#define IDC_KEY_ANSWER 1009
#define IDC_KEY_PUZZLE_LABEL 1011
#define IDC_PASSWORD_LABEL 1019
#define IDC_CAPS_LOCK_NOTE 1020
#define IDC_KEY_ANSWER_LABEL 1021
#define IDC_METHOD_GROUP 1022
#define IDC_WITH_TOKEN 1025
#define IDC_WITH_KEY_ANSWER 1026
#define IDC_CONTINUE 1027
#define IDC_KEY_ANSWER_NOTE 1031
#define IDC_TOKEN_NOTE 1034
#define IDC_CURRENT_FILE 1036
#define IDC_WARNING 1038
#define IDC_EXIT 2

// The message dialog.
#define IDC_MESSAGE_TEXT 1008
