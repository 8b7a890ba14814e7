// What the dialog manager of user32 offers the other stand-ins built on it: the dialog framework's default message
// handling and the Winlogon host's hold on the secure-attention keys. Never included by system code.
#pragma once

#include "windef.h"

namespace xp::user32 {

// What the dialog manager does with a message the dialog procedure left unhandled: WM_CLOSE clicks IDCANCEL
// (unless that control is disabled); other messages are ignored. Returns 0.
LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Called with the innermost dialog when the user presses Ctrl+Alt+Del while it waits (Winlogon's host ends it).
// Without a handler the keys do nothing to the dialog. nullptr removes the handler.
using SecureAttentionHandler = void (*)(HWND dialog);
void SetSecureAttentionHandler(SecureAttentionHandler handler);

}  // namespace xp::user32
