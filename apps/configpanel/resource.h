// The numbers of configpanel's dialogs and controls, as its resource table (resources.cc) declares them and UI
// scripts name them.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_CONFIGPANEL_DIALOG 102

#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010
#define IDR_MAINFRAME 128
#define IDB_BANNER 129

#define IDC_INTRODUCTION 1001
#define IDC_HTTPS 1002
#define IDC_HTTP 1003
#define IDC_PORT 1004
#define IDC_TAVIK_HOST 1005
#define IDC_RECOVERY_HOST 1006
#define IDC_REGISTRATION_HOST 1007
#define IDC_CLIENT_HOST 1008
#define IDC_APPLY 1000
#define IDC_ABOUT_TEXT 1035
