// Where a dialog is on the screen: its frame's rectangle, the client area inside the frame, and moves, which the
// journal shows. The screen has a fixed size, as the machine's one display mode.
#include <algorithm>
#include <string>

#include "user32_private.h"
#include "xp/debug.h"
#include "xp/machine.h"

XP_DEBUG_CHANNEL(user32);

namespace xp::user32 {
namespace {

constexpr int kCaptionHeight = 19;
constexpr int kFrameWidth = 3;

// The dialog `handle` under the lock; nullptr with ERROR_INVALID_WINDOW_HANDLE, or for a control or a form with
// ERROR_CALL_NOT_IMPLEMENTED.
Window* Dialog(const char* function, HWND handle) {
  Window* window = LookupOrFail(handle);
  if (window != nullptr && window->window_class != WindowClass::kDialog) {
    XP_FIXME(function, "only a dialog has a place of its own here");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  return window;
}

// Moves the dialog under the lock; returns the journal's words for it.
std::string Place(Window& dialog, int x, int y, int width, int height) {
  dialog.left = x;
  dialog.top = y;
  dialog.width = width;
  dialog.height = height;
  return "at " + std::to_string(x) + "," + std::to_string(y) + " size " + std::to_string(width) + "x" +
         std::to_string(height);
}

void Journal(int dialog_id, const std::string& what) {
  ui::DialogView view;
  view.id = std::to_string(dialog_id);
  ui::DialogNote(view, what);
}

}  // namespace

void Maximize(HWND handle) {
  std::string what;
  int id = 0;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    Window* dialog = Lookup(handle);
    if (dialog == nullptr || dialog->window_class != WindowClass::kDialog) return;
    id = dialog->id;
    what = Place(*dialog, 0, 0, kScreenWidth, kScreenHeight);
    dialog->needs_paint = true;
  }
  Journal(id, what);
}

bool IsDialog(HWND window) {
  const std::unique_lock<std::mutex> lock = LockWindows();
  const Window* found = Lookup(window);
  return found != nullptr && found->window_class == WindowClass::kDialog;
}

BOOL SetDialogPos(HWND handle, bool topmost, int x, int y, int width, int height, UINT flags) {
  if ((flags & ~(SWP_NOSIZE | SWP_NOMOVE)) != 0) {
    XP_FIXME("SetWindowPos", "flags %#x are not implemented for a dialog", flags);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  std::string what;
  int id = 0;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    Window* dialog = Dialog("SetWindowPos", handle);
    if (dialog == nullptr) return FALSE;
    id = dialog->id;
    dialog->topmost = topmost;
    const bool move = (flags & SWP_NOMOVE) == 0;
    const bool size = (flags & SWP_NOSIZE) == 0;
    what = std::string(topmost ? "topmost " : "not topmost ") +
           Place(*dialog, move ? x : dialog->left, move ? y : dialog->top, size ? std::max(0, width) : dialog->width,
                 size ? std::max(0, height) : dialog->height);
  }
  Journal(id, what);
  return TRUE;
}

}  // namespace xp::user32

using xp::user32::Window;

// Exported by user32.
extern "C" int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: return xp::user32::kScreenWidth;
    case SM_CYSCREEN: return xp::user32::kScreenHeight;
    case SM_CYCAPTION: return xp::user32::kCaptionHeight;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME: return xp::user32::kFrameWidth;
    case SM_CLEANBOOT: return static_cast<int>(xp::machine::CurrentBootMode());
    default: return 0;
  }
}

// Exported by user32.
extern "C" BOOL GetWindowRect(HWND window, LPRECT rect) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* dialog = xp::user32::Dialog("GetWindowRect", window);
  if (dialog == nullptr) return FALSE;
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = RECT{dialog->left, dialog->top, dialog->left + dialog->width, dialog->top + dialog->height};
  return TRUE;
}

// Exported by user32. A frame larger than the dialog leaves an empty client area.
extern "C" BOOL GetClientRect(HWND window, LPRECT rect) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* dialog = xp::user32::Dialog("GetClientRect", window);
  if (dialog == nullptr) return FALSE;
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const int frame = dialog->caption ? xp::user32::kFrameWidth : 0;
  const int caption = dialog->caption ? xp::user32::kCaptionHeight : 0;
  *rect = RECT{0, 0, std::max(0, dialog->width - 2 * frame), std::max(0, dialog->height - 2 * frame - caption)};
  return TRUE;
}

// Exported by user32. A negative size counts as 0, as a window cannot be smaller than nothing.
extern "C" BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  std::string what;
  int id = 0;
  {
    const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
    Window* dialog = xp::user32::Dialog("MoveWindow", window);
    if (dialog == nullptr) return FALSE;
    id = dialog->id;
    what = xp::user32::Place(*dialog, x, y, std::max(0, width), std::max(0, height));
    if (repaint) dialog->needs_paint = true;
  }
  xp::user32::Journal(id, what);
  return TRUE;
}
