// The numbers of recoverkit's dialog and controls, as its resource table (resources.cc) declares them and UI
// scripts name them.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_RECOVERKIT_DIALOG 102

#define IDS_ABOUTBOX 101
#define IDM_ABOUTBOX 0x0010
#define IDR_MAINFRAME 128

#define IDC_INTRODUCTION 1002
#define IDC_ABOUT_TEXT 1035
