// The form runtime's windows: top-level windows with a window procedure a program may replace (subclassing), and
// their place on screen, which SetWindowPos sets and the journal shows.
#include "xp/form_windows.h"

#include <string>

#include "user32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {

HWND CreateFormWindow(const std::string& form_name, WNDPROC procedure) {
  Window window;
  window.window_class = WindowClass::kForm;
  window.form_name = form_name;
  window.procedure = procedure;
  const std::unique_lock<std::mutex> lock = LockWindows();
  return AddWindow(std::move(window)).handle;
}

void DestroyFormWindow(HWND window) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  RemoveWindow(window);
}

void DeliverBroadcastsToForms() { DeliverBroadcasts(); }

namespace {

// The form window `handle`, or nullptr with ERROR_INVALID_WINDOW_HANDLE; call with the lock held.
Window* FormWindow(HWND handle) {
  Window* window = LookupOrFail(handle);
  if (window != nullptr && window->window_class != WindowClass::kForm) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  return window;
}

}  // namespace
}  // namespace xp::user32

using xp::user32::Window;

// Exported by user32. Only the z-order and the position are kept: a form's size is its runtime's. A dialog's place
// is window_geometry.cc's.
extern "C" BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height, UINT flags) {
  if (insert_after != HWND_TOPMOST && insert_after != HWND_NOTOPMOST) {
    XP_FIXME("SetWindowPos", "only HWND_TOPMOST and HWND_NOTOPMOST are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if (xp::user32::IsDialog(window)) {
    return xp::user32::SetDialogPos(window, insert_after == HWND_TOPMOST, x, y, width, height, flags);
  }
  std::string note;
  xp::ui::DialogView view;
  {
    const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
    Window* form = xp::user32::FormWindow(window);
    if (form == nullptr) return FALSE;
    form->topmost = insert_after == HWND_TOPMOST;
    if ((flags & SWP_NOMOVE) == 0) {
      form->left = x;
      form->top = y;
    }
    view.id = form->form_name;
    note = std::string(form->topmost ? "topmost" : "not topmost") + " at " + std::to_string(form->left) + "," +
           std::to_string(form->top);
  }
  xp::ui::DialogNote(view, note);
  return TRUE;
}

// Exported by user32.
extern "C" LONG_PTR GetWindowLongA(HWND window, int index) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* form = xp::user32::FormWindow(window);
  if (form == nullptr) return 0;
  if (index != GWL_WNDPROC) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return reinterpret_cast<LONG_PTR>(form->procedure);
}

// Exported by user32.
extern "C" LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR new_long) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  Window* form = xp::user32::FormWindow(window);
  if (form == nullptr) return 0;
  if (index != GWL_WNDPROC || new_long == 0) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  const WNDPROC previous = form->procedure;
  form->procedure = reinterpret_cast<WNDPROC>(new_long);
  return reinterpret_cast<LONG_PTR>(previous);
}

// Exported by user32.
extern "C" LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (procedure == nullptr) return 0;
  return procedure(window, message, wparam, lparam);
}
