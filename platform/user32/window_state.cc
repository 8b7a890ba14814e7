// Finding controls and their enabled, visible and focus state. A control is seen only while its dialog is shown
// and its own WS_VISIBLE is set.
#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "user32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(user32);

namespace {

using xp::user32::Effects;
using xp::user32::Window;
using xp::user32::WindowClass;

// Changes one window under the lock and reports what changed afterwards.
template <typename Change>
auto Update(HWND handle, Change change) {
  Effects effects;
  decltype(change(std::declval<Window&>(), effects)) result{};
  {
    const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
    Window* window = xp::user32::LookupOrFail(handle);
    if (window == nullptr) return result;
    result = change(*window, effects);
  }
  xp::user32::CarryOut(effects);
  return result;
}

}  // namespace

// Exported by user32.
extern "C" HWND GetDlgItem(HWND dialog, int id) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* window = xp::user32::LookupOrFail(dialog);
  if (window == nullptr) return nullptr;
  const Window* control = xp::user32::FindControl(*window, id);
  if (control == nullptr) {
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
  }
  return control->handle;
}

// Exported by user32. A dialog has no control ID: 0.
extern "C" int GetDlgCtrlID(HWND control) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* window = xp::user32::LookupOrFail(control);
  return window != nullptr && window->window_class != WindowClass::kDialog ? window->id : 0;
}

// Exported by user32.
extern "C" int GetClassNameA(HWND window, LPSTR class_name, int max_count) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* found = xp::user32::LookupOrFail(window);
  if (found == nullptr || class_name == nullptr || max_count <= 0) return 0;
  const std::string name = xp::user32::WindowClassName(*found);
  const size_t count = std::min(name.size(), static_cast<size_t>(max_count - 1));
  std::memcpy(class_name, name.data(), count);
  class_name[count] = '\0';
  return static_cast<int>(count);
}

// Exported by user32.
extern "C" BOOL EnableWindow(HWND window, BOOL enable) {
  return Update(window, [enable](Window& target, Effects& effects) -> BOOL {
    const BOOL was_disabled = !target.enabled;
    target.enabled = enable != FALSE;
    effects.Changed(target);
    return was_disabled;
  });
}

// Exported by user32. Hides or shows, and spreads a dialog over the screen (SW_SHOWMAXIMIZED); the other commands
// (minimise, restore ...) are not implemented.
extern "C" BOOL ShowWindow(HWND window, int command) {
  if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOWMAXIMIZED && command != SW_SHOW) {
    XP_FIXME("ShowWindow", "command %d is not implemented", command);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  const BOOL was_visible = Update(window, [command](Window& target, Effects& effects) -> BOOL {
    const BOOL was_visible = target.visible;
    target.visible = command != SW_HIDE;
    effects.Changed(target);
    return was_visible;
  });
  if (command == SW_SHOWMAXIMIZED) xp::user32::Maximize(window);
  return was_visible;
}

// Exported by user32.
extern "C" BOOL IsWindowEnabled(HWND window) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* found = xp::user32::Lookup(window);
  return found != nullptr && found->enabled;
}

// Exported by user32. A control is visible when it and its dialog are.
extern "C" BOOL IsWindowVisible(HWND window) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* found = xp::user32::Lookup(window);
  if (found == nullptr || !found->visible) return FALSE;
  const Window* dialog = found->window_class == WindowClass::kDialog ? found : xp::user32::Lookup(found->parent);
  return dialog != nullptr && dialog->Shown() && dialog->visible;
}

// Exported by user32.
extern "C" BOOL IsWindow(HWND window) {
  if (xp::user32::IsApplicationWindow(window)) return TRUE;
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  return xp::user32::Lookup(window) != nullptr;
}

// Exported by user32. The focus is a control of a dialog; NULL takes it from the innermost dialog.
extern "C" HWND SetFocus(HWND window) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  if (window == nullptr) {
    Window* dialog = xp::user32::Lookup(xp::user32::InnermostDialog());
    if (dialog == nullptr) return nullptr;
    return std::exchange(dialog->focus, nullptr);
  }
  const Window* target = xp::user32::LookupOrFail(window);
  if (target == nullptr) return nullptr;
  Window* dialog = target->window_class == WindowClass::kDialog ? xp::user32::Lookup(window)
                                                                : xp::user32::Lookup(target->parent);
  return std::exchange(dialog->focus, target->window_class == WindowClass::kDialog ? nullptr : window);
}

// Exported by user32.
extern "C" HWND GetFocus(void) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  const Window* dialog = xp::user32::Lookup(xp::user32::InnermostDialog());
  return dialog != nullptr ? dialog->focus : nullptr;
}
