// User32 as the system calls it: message boxes and the dialog command IDs.
#pragma once

#include "windef.h"

extern "C" {

// Message-box buttons: the system shows only these two sets.
#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
// Icons.
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION 0x00000040u
// The second button is the default (Enter presses it).
#define MB_DEFBUTTON2 0x00000100u

// Dialog command IDs: what a box returns, and the IDs of a dialog's standard buttons.
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Shows a modal box and returns the ID of the button pressed; a NULL caption reads "Error". Styles other than
// MB_OK or MB_YESNO with one icon and MB_DEFBUTTON2 are not implemented: 0 and ERROR_CALL_NOT_IMPLEMENTED.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Restarting the machine. The caller's token must have SeShutdownPrivilege enabled (else FALSE,
// ERROR_PRIVILEGE_NOT_HELD); the request is recorded for the boot code and the calling process goes on running.
// Only EWX_REBOOT, with EWX_FORCE or EWX_FORCEIFHUNG, is implemented.
#define EWX_REBOOT 0x00000002u
#define EWX_FORCE 0x00000004u
#define EWX_FORCEIFHUNG 0x00000010u
BOOL ExitWindowsEx(UINT flags, DWORD reason);

}  // extern "C"
