// The registration program's state: one instance, on the one UI thread.
#pragma once

#include <string>

#include "windows.h"

// The token's ESN as last read at load or on a device change: 8 characters, or "".
extern std::u16string ESN;
// frmRegister's window, kept at load, and its window procedure before the hook replaced it.
extern HWND FormWindow;
extern WNDPROC SavedWindowProcedure;
