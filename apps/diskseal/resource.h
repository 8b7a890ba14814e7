// The numbers of diskseal's dialogs and of their controls, as its resource table (resources.cc) declares them and
// UI scripts name them.
#pragma once

// Dialogs.
#define IDD_DISKSEAL_DIALOG 102
#define IDD_PHASE_TWO 129
#define IDD_CREATE_PASSWORD 134
#define IDD_MESSAGE 135
#define IDD_RESUME 136
#define IDD_REPORT 137

// The create-password dialog.
#define IDC_NEW_PASSWORD 1000
#define IDC_RETYPE_PASSWORD 1001
#define IDC_PASSWORD_RULES 1022

// The main dialog.
#define IDC_PROGRESS_TEXT 1002
#define IDC_PROGRESS_BAR 1003
#define IDC_CURRENT_FILE 1011
#define IDC_PASSWORD_LABEL 1013
#define IDC_PASSWORD 1016
#define IDC_WARNING 1021
#define IDC_EXIT 2

// The message dialog.
#define IDC_MESSAGE_TEXT 1005

// The resume dialog.
#define IDC_CHOOSE_DECRYPT 1007
#define IDC_CHOOSE_CONTINUE 1008

// The Phase II dialog.
#define IDC_PHASE_TWO_PLAN 1017
#define IDC_PHASE_TWO_STATUS 1018

// The report dialog of a give-up that left files encrypted.
#define IDC_REPORT_READ 1005
#define IDC_REPORT_TEXT 1008
#define IDC_REPORT_COMPLETE 1009
#define IDC_REPORT_RECOVER 1010
