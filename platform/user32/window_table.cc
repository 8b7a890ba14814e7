// The process's windows: one table of dialogs and controls under one lock. Handles are never reused, so a stale
// handle fails instead of reaching a newer window.
#include <map>
#include <memory>

#include "user32_private.h"

namespace xp::user32 {
namespace {

struct WindowTable {
  std::mutex mutex;
  std::map<HWND, std::unique_ptr<Window>> windows;
  uintptr_t next_handle = 0x10010;
};

WindowTable& Table() {
  static WindowTable* const table = new WindowTable;
  return *table;
}

}  // namespace

std::unique_lock<std::mutex> LockWindows() { return std::unique_lock<std::mutex>(Table().mutex); }

Window* Lookup(HWND handle) {
  const auto found = Table().windows.find(handle);
  return found == Table().windows.end() ? nullptr : found->second.get();
}

Window* LookupOrFail(HWND handle) {
  Window* window = Lookup(handle);
  if (window == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return window;
}

Window* FindControl(const Window& dialog, int id) {
  for (const HWND handle : dialog.controls) {
    Window* control = Lookup(handle);
    if (control != nullptr && control->id == id) return control;
  }
  return nullptr;
}

Window& AddWindow(Window window) {
  WindowTable& table = Table();
  window.handle = reinterpret_cast<HWND>(table.next_handle);
  if (window.parent == nullptr) window.broadcasts_heard = CurrentBroadcastCursor();
  table.next_handle += 4;
  auto stored = std::make_unique<Window>(std::move(window));
  Window& added = *stored;
  table.windows.emplace(added.handle, std::move(stored));
  return added;
}

void RemoveWindow(HWND handle) { Table().windows.erase(handle); }

void ForEachTopLevelWindow(const std::function<void(Window&)>& visit) {
  for (auto& [handle, window] : Table().windows) {
    if (window->parent == nullptr) visit(*window);
  }
}

void CarryOut(const Effects& effects) {
  for (const HWND control : effects.changed) ReportChange(control);
  for (const Notification& notification : effects.notifications) {
    SendCommand(notification.dialog, notification.id, notification.code, notification.control);
  }
}

}  // namespace xp::user32
