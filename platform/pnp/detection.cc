// What the Plug and Play manager does before every look at the device database: a fresh machine gets its own
// devices; each token plugged in since the last look is detected. A token without an instance gets one; a token
// instance without its interface gets it once the token's driver file is installed (the driver starts and registers
// it). Presence follows the token's plug.
#include <strings.h>

#include <system_error>

#include "pnp_private.h"
#include "xp/usbtoken.h"
#include "xp/drive_paths.h"
#include "xp/machine.h"

namespace xp::pnp {
namespace {

bool DriverFileInstalled() {
  machine::FoundPath found;
  std::error_code error;
  return machine::FindOnDrives(usbtoken::kDriverFilePath, &found) == machine::PathLookup::kFound &&
         std::filesystem::is_regular_file(found.host, error);
}

LONG SeedFreshMachine() {
  registry::KeyId tree = 0;
  const LONG opened = registry::OpenKey(registry::kMachineKey, kEnumKey, &tree);
  if (opened != ERROR_FILE_NOT_FOUND) return opened;
  for (const DeviceInstance& device : MachineDevices()) {
    if (const LONG error = AddDevice(device)) return error;
  }
  return ERROR_SUCCESS;
}

LONG Detect(const usbtoken::TokenInfo& token) {
  const DeviceInstance instance = TokenInstance(token.id);
  const bool known = InstanceExists(instance.id);
  if (!known) {
    if (const LONG error = AddDevice(instance)) return error;
  }
  const bool driver = DriverFileInstalled();
  if (!known) {
    machine::Journal("device detected " + instance.id +
                     (driver ? "" : std::string(" (no driver: ") + usbtoken::kDriverFilePath + " is missing)"));
  }
  if (!driver || HasInterface(instance.id)) return ERROR_SUCCESS;
  return AddInterface(instance.id, usbtoken::kInterfaceClass, token.interface_path);
}

std::optional<usbtoken::TokenInfo> TokenOf(const std::string& instance_id) {
  const std::string prefix = std::string(kTokenDevice) + "\\";
  if (instance_id.size() <= prefix.size() || ::strncasecmp(instance_id.c_str(), prefix.c_str(), prefix.size()) != 0) {
    return std::nullopt;
  }
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine::Root())) {
    if (SameText(token.id, instance_id.substr(prefix.size()))) return token;
  }
  return usbtoken::TokenInfo{};  // a token instance whose token is gone: never present
}

}  // namespace

LONG Refresh() {
  if (const LONG error = SeedFreshMachine()) return error;
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine::Root())) {
    if (!usbtoken::TakeArrival(machine::Root(), token.id)) continue;
    if (const LONG error = Detect(token)) return error;
  }
  return ERROR_SUCCESS;
}

bool Present(const std::string& instance_id) {
  const std::optional<usbtoken::TokenInfo> token = TokenOf(instance_id);
  return !token || token->plugged;
}

std::vector<std::string> UndetectedTokens() {
  std::vector<std::string> tokens;
  if (Refresh() != ERROR_SUCCESS) return tokens;
  for (const usbtoken::TokenInfo& token : usbtoken::List(machine::Root())) {
    if (token.plugged && !InstanceExists(TokenInstance(token.id).id)) tokens.push_back(token.id);
  }
  return tokens;
}

}  // namespace xp::pnp
