// Modal dialogs: DialogBoxParam makes the dialog from its template, lets WM_INITDIALOG set it up, shows it, then
// asks the UI driver for each thing the user does until EndDialog; EndDialog marks the result.
#include <atomic>

#include "user32_private.h"
#include "xp/debug.h"
#include "xp/dialogs.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

// The calling thread's modal dialogs, innermost last.
thread_local std::vector<HWND> modal_dialogs;

std::atomic<SecureAttentionHandler> secure_attention_handler{nullptr};

// WM_INITDIALOG's wParam: the first visible, enabled control that takes the focus with Tab.
HWND FirstTabStop(HWND dialog) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  const Window* window = Lookup(dialog);
  for (const HWND handle : window->controls) {
    const Window& control = *Lookup(handle);
    if ((control.style & WS_TABSTOP) != 0 && control.visible && control.enabled) return handle;
  }
  return nullptr;
}

bool Ended(HWND dialog, INT_PTR* result) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  const Window* window = Lookup(dialog);
  *result = window->result;
  return window->ended;
}

void Focus(HWND dialog, HWND control) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  Lookup(dialog)->focus = control;
}

INT_PTR RunModal(HINSTANCE instance, ULONG_PTR template_name, DLGPROC dialog_proc, LPARAM param) {
  if (!IS_INTRESOURCE(template_name)) {
    XP_FIXME("DialogBoxParam", "templates named by text are not implemented");
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  const res::DialogTemplate* dialog_template = FindDialogTemplate(instance, LOWORD(template_name));
  if (dialog_template == nullptr) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return -1;
  }
  const HWND dialog = CreateDialogWindows(*dialog_template, dialog_proc);
  if (dialog == nullptr) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
  }
  modal_dialogs.push_back(dialog);
  const HWND first = FirstTabStop(dialog);
  if (CallDialogProc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) != FALSE && first != nullptr) {
    Focus(dialog, first);
  }
  INT_PTR result = 0;
  // A dialog ended while it was set up is never seen, so nothing of it is reported.
  if (!Ended(dialog, &result)) {
    ReportOpened(dialog);
    while (!Ended(dialog, &result)) {
      if (DispatchQueuedInput(dialog)) continue;
      DeliverBroadcasts();
      if (Ended(dialog, &result)) break;
      if (PaintIfPending(dialog)) continue;
      PerformAction(dialog, ui::NextAction(CurrentView(dialog)), true);
    }
    ReportEnded(dialog, result);
  }
  modal_dialogs.pop_back();
  DestroyDialogWindows(dialog);
  // The dialog it covered shows again.
  if (const HWND under = InnermostDialog()) InvalidateRect(under, nullptr, TRUE);
  return result;
}

}  // namespace

HWND InnermostDialog() { return modal_dialogs.empty() ? nullptr : modal_dialogs.back(); }

void HandleSecureAttention(HWND dialog, DWORD sas_type) {
  if (const SecureAttentionHandler handler = secure_attention_handler.load()) handler(dialog, sas_type);
}

void SetSecureAttentionHandler(SecureAttentionHandler handler) { secure_attention_handler.store(handler); }

}  // namespace xp::user32

// Exported by user32. The owner only matters on screen: a modal dialog disables it meanwhile.
extern "C" INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR template_name, HWND, DLGPROC dialog_proc,
                                   LPARAM param) {
  return xp::user32::RunModal(instance, reinterpret_cast<ULONG_PTR>(template_name), dialog_proc, param);
}

// Exported by user32.
extern "C" INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND, DLGPROC dialog_proc,
                                   LPARAM param) {
  return xp::user32::RunModal(instance, reinterpret_cast<ULONG_PTR>(template_name), dialog_proc, param);
}

// Exported by user32. The last call decides the result.
extern "C" BOOL EndDialog(HWND dialog, INT_PTR result) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  xp::user32::Window* window = xp::user32::LookupOrFail(dialog);
  if (window == nullptr) return FALSE;
  if (window->window_class != xp::user32::WindowClass::kDialog) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  window->ended = true;
  window->result = result;
  return TRUE;
}
