// The devices a fresh machine has of its own, before any token: a PCI bus, a keyboard, a USB root hub, and two
// legacy drivers without hardware IDs. And the instance a token gets when the machine first detects it.
#include "pnp_private.h"
#include "xp/usbtoken.h"

namespace xp::pnp {
namespace {

constexpr char kSystemClass[] = "{4D36E97D-E325-11CE-BFC1-08002BE10318}";
constexpr char kKeyboardClass[] = "{4D36E96B-E325-11CE-BFC1-08002BE10318}";
constexpr char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
constexpr char kLegacyDriverClass[] = "{8ECC055D-047F-11D1-A537-0000F8753ED1}";

}  // namespace

std::vector<DeviceInstance> MachineDevices() {
  return {
      {"ACPI\\PNP0A03\\0", {"ACPI\\PNP0A03", "*PNP0A03"}, "System", kSystemClass, "pci", "PCI bus", true},
      {"ACPI\\PNP0303\\4&1506BB8&0",
       {"ACPI\\PNP0303", "*PNP0303"},
       "Keyboard",
       kKeyboardClass,
       "i8042prt",
       "Standard keyboard",
       true},
      {"ROOT\\LEGACY_BEEP\\0000", {}, "LegacyDriver", kLegacyDriverClass, "Beep", "Beep", true},
      {"ROOT\\LEGACY_NULL\\0000", {}, "LegacyDriver", kLegacyDriverClass, "Null", "Null", true},
      {"USB\\ROOT_HUB\\4&2A1F6A4E&0", {"USB\\ROOT_HUB"}, "USB", kUsbClass, "usbhub", "USB Root Hub", true},
  };
}

DeviceInstance TokenInstance(const std::string& token_id) {
  return {std::string(kTokenDevice) + "\\" + token_id,
          {std::string(kTokenDevice) + "&REV_0100", kTokenDevice},
          "USB",
          kUsbClass,
          usbtoken::kDriverService,
          "USB authentication token",
          false};
}

}  // namespace xp::pnp
