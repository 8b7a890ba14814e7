// Messages the system sends to every top-level window of the machine, whatever process owns it (WM_DEVICECHANGE
// after the device tree changed). They live in DIR/broadcasts, one line per message, appended whole; each process's
// windows hear those appended after they were made, when they next pump messages. Never included by system code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace xp::machine {

struct WindowBroadcast {
  uint32_t message = 0;
  uint64_t wparam = 0;
  uint64_t lparam = 0;  // a value, never a pointer: the receivers live in other processes
  uint64_t end = 0;     // where the next message starts: the cursor after this one
};

// Sends the message to the windows of the machine in `root`.
void BroadcastToWindows(const std::filesystem::path& root, uint32_t message, uint64_t wparam, uint64_t lparam);
// The cursor of the newest message of the machine XPMACHINE names: a window made now hears only later ones.
uint64_t BroadcastCursor();
// The messages after `cursor`, oldest first.
std::vector<WindowBroadcast> BroadcastsAfter(uint64_t cursor);

}  // namespace xp::machine
