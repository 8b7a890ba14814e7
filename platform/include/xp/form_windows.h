// The form runtime's windows in user32's window table: one top-level window per loaded form, whose procedure a
// program may replace, and which SetWindowPos can put on top. Never included by system code.
#pragma once

#include <string>

#include "windows.h"

namespace xp::user32 {

// A form's window, named for the journal by the form's name, with `procedure` as its window procedure.
HWND CreateFormWindow(const std::string& form_name, WNDPROC procedure);
// Gone with the form's unloading; a later message to the handle fails as for any stale handle.
void DestroyFormWindow(HWND window);
// The machine's broadcasts (WM_DEVICECHANGE) sent since the forms' windows last heard, delivered to their window
// procedures now: what the program's message loop does between two of the user's actions.
void DeliverBroadcastsToForms();

}  // namespace xp::user32
