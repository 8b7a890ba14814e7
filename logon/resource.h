// The logon component's dialog resources and their controls, by number. The UI scripts of the tests and the demo
// answer them by these numbers.
#pragma once

// Welcome notice.
#define IDD_WELCOME 100
#define IDC_WELCOME_TEXT 101
// Message dialog: its text and title come from the caller.
#define IDD_MESSAGE 101
#define IDC_MESSAGE_TEXT 1001
// Unlock.
#define IDD_UNLOCK 102
#define IDC_UNLOCK_PASSWORD 1057
#define IDC_UNLOCK_OK 1010
#define IDC_UNLOCK_CANCEL 1009
// Manage accounts.
#define IDD_MANAGE_ACCOUNTS 103
#define IDC_ACCOUNT_LIST 1012
#define IDC_DELETE_ACCOUNT 1018
#define IDC_DELETE_ALL 1055
// Select account.
#define IDD_SELECT_ACCOUNT 104
#define IDC_ACCOUNT_COMBO 1019
// Token password before user data is touched.
#define IDD_TOKEN_PASSWORD 112
#define IDC_TOKEN_PASSWORD 1044
#define IDC_TOKEN_PASSWORD_OK 1042
#define IDC_TOKEN_PASSWORD_CANCEL 1043
// Legal notice.
#define IDD_LEGAL_NOTICE 113
#define IDC_NOTICE_TEXT 1054
#define IDC_NOTICE_CREDIT 1056
// Locked notice.
#define IDD_LOCKED 200
#define IDC_LOCKED_ICON 204
#define IDC_LOCKED_TEXT 206
#define IDC_LOCKED_HINT 209
// Logon.
#define IDD_LOGON 300
#define IDC_PASSWORD 1000
#define IDC_KEY_ANSWER 1008
#define IDC_DEFAULT_LOGON 1040
#define IDC_KEY_PUZZLE 1045
#define IDC_PASSWORD_LABEL 1046
#define IDC_TOKEN_MODE 1047
#define IDC_KEY_ANSWER_MODE 1048
#define IDC_PUZZLE_LABEL 1049
#define IDC_ANSWER_LABEL 1050
#define IDC_ANSWER_HINT 1051
#define IDC_LOGON_HINT 1052
#define IDC_SHUTDOWN 202
#define IDC_LOG_ON 203
// Logon options.
#define IDD_OPTIONS 400
#define IDC_LOCK 405
#define IDC_TASK_MANAGER 407
#define IDC_SHUT_DOWN 410
#define IDC_LOG_OFF 1002
#define IDC_CHANGE_PASSWORD 1003
#define IDC_MANAGE_ACCOUNTS 1011
// Shutdown.
#define IDD_SHUTDOWN 500
#define IDC_LOG_OFF_CHOICE 502
#define IDC_SHUTDOWN_CHOICE 503
#define IDC_REBOOT_CHOICE 504
#define IDC_POWER_OFF_CHOICE 508
// Add an account (its user and domain edits are those of the change-password dialog).
#define IDD_ADD_ACCOUNT 600
#define IDC_USER_NAME 604
#define IDC_DOMAIN 606
#define IDC_ACCOUNT_PASSWORD 608
// Change password.
#define IDD_CHANGE_PASSWORD 800
#define IDC_OLD_PASSWORD 805
#define IDC_NEW_PASSWORD 807
#define IDC_CONFIRM_PASSWORD 809
