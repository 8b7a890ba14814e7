// Declarations shared inside the dialog framework, grouped by the file that defines them.
#pragma once

#include "afxwin.h"

namespace xp::mfc {

// handle_map.cc: the object attached to a window (a CDialog while it is up), if any.
CWnd* PermanentObject(HWND handle);
// Drops the framework's objects of windows that are gone (a dialog's controls once DoModal returns).
void ForgetDeadWindows();

// win_app.cc: the program's file name without its extension.
CString ProgramName();

}  // namespace xp::mfc
