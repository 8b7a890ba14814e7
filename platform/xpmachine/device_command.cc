// xpmachine device list|pending: the machine's device database as a person reads it (each instance, present or
// not, with its hardware IDs; and the tokens plugged in whose device was removed), and the pending-installation
// state that SetupAPI reports.
#include <cstdio>
#include <string>

#include "commands.h"
#include "xp/pnp.h"

namespace xp::xpmachine {
namespace {

std::string Joined(const std::vector<std::string>& ids) {
  if (ids.empty()) return "(none)";
  std::string text;
  for (const std::string& id : ids) text += (text.empty() ? "" : ", ") + id;
  return text;
}

int List() {
  std::vector<pnp::DeviceInstance> devices;
  if (const LONG error = pnp::ListDevices(&devices)) {
    std::fprintf(stderr, "xpmachine: cannot read the device database: error %ld\n", static_cast<long>(error));
    return 1;
  }
  std::printf("%-34s %-12s %s\n", "INSTANCE", "STATE", "HARDWARE IDS");
  for (const pnp::DeviceInstance& device : devices) {
    std::printf("%-34s %-12s %s\n", device.id.c_str(), device.present ? "present" : "not present",
                Joined(device.hardware_ids).c_str());
  }
  for (const std::string& token : pnp::UndetectedTokens()) {
    const std::string id = std::string(pnp::kTokenDevice) + "\\" + token;
    std::printf("%-34s %-12s %s\n", id.c_str(), "removed", "(plugged in; detected again when plugged in again)");
  }
  return 0;
}

}  // namespace

int DeviceCommand(const Command& command) {
  if (!EnterMachine(command)) return 1;
  if (command.kind == Command::Kind::kDeviceList) return List();
  pnp::SetInstallPending(command.pending);
  std::printf(command.pending ? "a device installation is pending\n" : "no device installation is pending\n");
  return 0;
}

}  // namespace xp::xpmachine
