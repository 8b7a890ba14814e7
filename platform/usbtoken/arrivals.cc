// What the machine hears of a plug or an unplug. A plug leaves "arrived" in the token's folder for the Plug and Play
// manager, which detects the device at its next look and takes the mark (a device removed from the device tree is
// so seen again only after it is plugged in again); both tell the machine's windows that the device tree changed.
#include <unistd.h>

#include <fstream>

#include "dbt.h"
#include "token_store.h"
#include "winuser.h"
#include "xp/window_broadcasts.h"

namespace xp::usbtoken {
namespace {

constexpr char kArrivalMark[] = "arrived";

}  // namespace

void NoteArrival(const std::filesystem::path& machine, const std::string& id) {
  if (const std::optional<std::filesystem::path> dir = TokenDir(machine, id)) {
    std::ofstream(*dir / kArrivalMark).put('\n');
  }
  machine::BroadcastToWindows(machine, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

void NoteDeparture(const std::filesystem::path& machine) {
  machine::BroadcastToWindows(machine, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

bool TakeArrival(const std::filesystem::path& machine, const std::string& id) {
  const std::optional<std::filesystem::path> dir = TokenDir(machine, id);
  // Only one of several processes looking at once removes the mark.
  return dir && ::unlink((*dir / kArrivalMark).c_str()) == 0;
}

}  // namespace xp::usbtoken
