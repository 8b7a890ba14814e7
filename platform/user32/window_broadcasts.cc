// The machine's broadcast messages reach this process's top-level windows as it pumps messages: each window hears,
// through its window procedure, those sent after it was made, once.
#include "xp/window_broadcasts.h"

#include <utility>

#include "user32_private.h"
#include "xp/machine.h"

namespace xp::user32 {

uint64_t CurrentBroadcastCursor() { return machine::Present() ? machine::BroadcastCursor() : 0; }

void DeliverBroadcasts() {
  if (!machine::Present()) return;
  const uint64_t newest = machine::BroadcastCursor();
  std::vector<std::pair<HWND, uint64_t>> listeners;
  {
    const std::unique_lock<std::mutex> lock = LockWindows();
    ForEachTopLevelWindow([&](Window& window) {
      if (window.broadcasts_heard < newest) listeners.emplace_back(window.handle, window.broadcasts_heard);
    });
  }
  for (const auto& [handle, heard] : listeners) {
    for (const machine::WindowBroadcast& broadcast : machine::BroadcastsAfter(heard)) {
      {
        const std::unique_lock<std::mutex> lock = LockWindows();
        Window* window = Lookup(handle);
        if (window == nullptr) break;  // destroyed by an earlier message
        window->broadcasts_heard = broadcast.end;
      }
      SendWindowMessage(handle, broadcast.message, static_cast<WPARAM>(broadcast.wparam),
                        static_cast<LPARAM>(broadcast.lparam), false);
    }
  }
}

}  // namespace xp::user32
