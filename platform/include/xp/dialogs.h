// What the dialog manager of user32 offers the other stand-ins built on it: the dialog framework's default message
// handling and the Winlogon host's hold on the secure-attention keys. Never included by system code.
#pragma once

#include "windef.h"

namespace xp::user32 {

// What the dialog manager does with a message the dialog procedure left unhandled: WM_CLOSE clicks IDCANCEL
// (unless that control is disabled); other messages are ignored. Returns 0.
LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Called with the innermost dialog when a secure-attention event comes while it waits: the user presses
// Ctrl+Alt+Del (SAS type 1), or Winlogon raises another (xp::ui::kSasKinds). Winlogon's host ends the dialog.
// Without a handler the event does nothing to the dialog. nullptr removes the handler.
using SecureAttentionHandler = void (*)(HWND dialog, DWORD sas_type);
void SetSecureAttentionHandler(SecureAttentionHandler handler);

// A power event (PBT_APMSUSPEND, PBT_APMRESUMESUSPEND) as WM_POWERBROADCAST to every top-level window of the
// process, sent: each window's thread has handled it when this returns (or 5 seconds passed for a thread that does
// not read its queue).
void BroadcastPowerEvent(WPARAM event);

}  // namespace xp::user32
