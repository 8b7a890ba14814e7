// A dialog's system menu: the items a program adds to it. The menu's handle is its dialog's, so a menu lives and
// dies with its window; the user's choice reaches the dialog as WM_SYSCOMMAND (user_input.cc).
#include <string>

#include "user32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(user32);

namespace {

using xp::user32::Window;
using xp::user32::WindowClass;

constexpr UINT kImplementedFlags = MF_BYPOSITION | MF_SEPARATOR;

// The dialog whose menu `menu` is, under the lock; nullptr with ERROR_INVALID_MENU_HANDLE.
Window* MenuDialog(HMENU menu) {
  Window* window = xp::user32::Lookup(static_cast<HWND>(menu));
  if (window == nullptr || window->window_class != WindowClass::kDialog) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return window;
}

BOOL Insert(const char* function, HMENU menu, size_t index, UINT flags, UINT_PTR id, LPCSTR text) {
  if ((flags & ~kImplementedFlags) != 0) {
    XP_FIXME(function, "menu flags 0x%x are not implemented", flags);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  const bool separator = (flags & MF_SEPARATOR) != 0;
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  Window* dialog = MenuDialog(menu);
  if (dialog == nullptr) return FALSE;
  if (!separator && text == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Window::MenuItem item{separator ? 0u : static_cast<UINT>(id),
                        separator ? std::u16string() : xp::user32::FromAnsi(text)};
  if (index > dialog->system_menu.size()) index = dialog->system_menu.size();
  XP_TRACE(function, "dialog %d: %s %u at %zu", dialog->id, separator ? "separator" : "item", item.command, index);
  dialog->system_menu.insert(dialog->system_menu.begin() + static_cast<ptrdiff_t>(index), std::move(item));
  return TRUE;
}

}  // namespace

// Exported by user32.
extern "C" HMENU GetSystemMenu(HWND window, BOOL revert) {
  const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
  Window* dialog = xp::user32::LookupOrFail(window);
  if (dialog == nullptr) return nullptr;
  if (dialog->window_class != WindowClass::kDialog) {
    XP_FIXME("GetSystemMenu", "only a dialog has a system menu here");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (revert) {
    dialog->system_menu.clear();
    return nullptr;
  }
  return static_cast<HMENU>(window);
}

// Exported by user32.
extern "C" BOOL AppendMenuA(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  return Insert("AppendMenuA", menu, SIZE_MAX, flags, id, text);
}

// Exported by user32. By command, the item goes before the item with that command, or at the end when there is none.
extern "C" BOOL InsertMenuA(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCSTR text) {
  size_t index = position;
  if ((flags & MF_BYPOSITION) == 0) {
    const std::unique_lock<std::mutex> lock = xp::user32::LockWindows();
    const Window* dialog = MenuDialog(menu);
    if (dialog == nullptr) return FALSE;
    index = SIZE_MAX;
    for (size_t i = 0; i < dialog->system_menu.size(); ++i) {
      if (dialog->system_menu[i].command == position && position != 0) {
        index = i;
        break;
      }
    }
  }
  return Insert("InsertMenuA", menu, index, flags & ~MF_BYPOSITION, id, text);
}
