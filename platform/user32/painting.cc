// Painting a dialog: which dialogs wait for WM_PAINT, when it is sent, and the context BeginPaint hands out for
// gdi32. A dialog waits for its first paint from the start; it is sent only once the dialog is shown.
#include <string>

#include "user32_private.h"
#include "xp/debug.h"
#include "xp/gdi32.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

// The shown dialog `handle` waiting for a paint, under the lock; nullptr otherwise.
Window* WaitingDialog(HWND handle) {
  Window* window = Lookup(handle);
  if (window == nullptr || window->window_class != WindowClass::kDialog) return nullptr;
  return window->needs_paint && window->Shown() && window->visible ? window : nullptr;
}

// Takes the paint as done when the dialog waits for one; call without the lock.
bool TakePaint(HWND dialog) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  Window* window = WaitingDialog(dialog);
  if (window == nullptr) return false;
  window->needs_paint = false;
  return true;
}

}  // namespace

bool PaintIfPending(HWND dialog) {
  if (!TakePaint(dialog)) return false;
  CallDialogProc(dialog, WM_PAINT, 0, 0);
  return true;
}

std::optional<MSG> PendingPaint(HWND window, bool remove) {
  const HWND dialog = InnermostDialog();
  if (dialog == nullptr || (window != nullptr && window != dialog)) return std::nullopt;
  const std::unique_lock<std::mutex> lock = LockWindows();
  Window* waiting = WaitingDialog(dialog);
  if (waiting == nullptr) return std::nullopt;
  if (remove) waiting->needs_paint = false;
  return MSG{dialog, WM_PAINT, 0, 0, GetTickCount(), {0, 0}};
}

void PaintDone(HWND dialog) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  if (Window* window = Lookup(dialog)) window->needs_paint = false;
}

}  // namespace xp::user32

using xp::user32::Window;
using xp::user32::WindowClass;

// Exported by user32.
extern "C" BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  Window* target = xp::user32::LookupOrFail(window);
  if (target == nullptr) return FALSE;
  // A control is painted with its dialog.
  Window* dialog = target->window_class == WindowClass::kDialog ? target : xp::user32::Lookup(target->parent);
  if (dialog == nullptr || dialog->window_class != WindowClass::kDialog) {
    XP_FIXME("InvalidateRect", "only dialogs and their controls are painted");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  dialog->needs_paint = true;
  return TRUE;
}

// Exported by user32.
extern "C" BOOL UpdateWindow(HWND window) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  xp::user32::PaintIfPending(window);
  return TRUE;
}

// Exported by user32.
extern "C" HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  std::string name;
  RECT client = {};
  {
    const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
    Window* dialog = xp::user32::LookupOrFail(window);
    if (dialog == nullptr) return nullptr;
    if (dialog->window_class != WindowClass::kDialog || paint == nullptr) {
      XP_FIXME("BeginPaint", "only a dialog is painted here");
      SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
      return nullptr;
    }
    dialog->needs_paint = false;
    name = std::to_string(dialog->id);
  }
  GetClientRect(window, &client);
  *paint = PAINTSTRUCT{};
  paint->hdc = xp::gdi32::CreateWindowDC(name);
  paint->fErase = TRUE;
  paint->rcPaint = client;
  return paint->hdc;
}

// Exported by user32.
extern "C" BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  xp::gdi32::ReleaseWindowDC(paint->hdc);
  return TRUE;
}
