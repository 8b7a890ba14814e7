// The numbers of recoverkit's dialog and controls, as its resource table (resources.cc) declares them and UI
// scripts name them.
#pragma once

#define IDD_RECOVERKIT_DIALOG 102

#define IDC_INTRODUCTION 1002
