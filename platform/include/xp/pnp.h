// The Plug and Play manager's device database: the machine's device instances in the registry's Enum tree
// (HKLM\SYSTEM\CurrentControlSet\Enum\<enumerator>\<device>\<instance>), the device interfaces they registered
// (HKLM\SYSTEM\CurrentControlSet\Control\DeviceClasses\<class>\<interface>), and the pending-installation state.
// Shared by every process of the machine, for SetupAPI and xpmachine. Included as "xp/pnp.h".
//
// A machine's first look at the database seeds the machine's own devices (a PCI bus, a keyboard, a USB root hub,
// two legacy drivers without hardware IDs). Every look detects the tokens plugged since the last one (a token's
// plug leaves a mark, see usbtoken.h): a token without an instance gets one, with the hardware IDs
// "USB\VID_7A5C&PID_0C01&REV_0100" and "USB\VID_7A5C&PID_0C01"; and a token instance without its interface gets
// it once the token's driver file is installed. An unplugged token keeps its instance, not present. A removed
// instance is gone, with its interfaces, until the token is plugged in again.
#pragma once

#include <string>
#include <vector>

#include "setupapi.h"  // ERROR_NO_SUCH_DEVINST

namespace xp::pnp {

// The enumerator and device part of the token's instance ids: "USB\VID_7A5C&PID_0C01\token1".
inline constexpr char kTokenDevice[] = "USB\\VID_7A5C&PID_0C01";

struct DeviceInstance {
  std::string id;                         // "USB\VID_7A5C&PID_0C01\token1", compared ignoring case
  std::vector<std::string> hardware_ids;  // empty: the device has no HardwareID value
  std::string class_name;                 // "USB"
  std::string class_guid;                 // "{36FC9E60-C465-11CF-8056-444553540000}"
  std::string service;                    // the driver's service name; may be empty
  std::string description;                // DeviceDesc
  bool present = false;                   // attached now (a token: plugged in); read only
};

// Every instance, present or not, in the Enum tree's order (case-insensitive by enumerator, device, instance).
// Registry errors are returned as they came.
LONG ListDevices(std::vector<DeviceInstance>* devices);
// The stored bytes of the instance's HardwareID value as the A functions return them (narrowed to ANSI, exactly as
// stored: a list written without its closing empty string stays so). ERROR_FILE_NOT_FOUND when the instance has
// no such value; ERROR_NO_SUCH_DEVINST when there is no such instance.
LONG HardwareIdData(const std::string& instance_id, std::vector<uint8_t>* data);
// Adds (or replaces the values of) an instance.
LONG AddDevice(const DeviceInstance& device);
// Removes the instance and every interface it registered; ERROR_NO_SUCH_DEVINST when there is none. Journals
// "device removed <id>" and tells the machine's windows (WM_DEVICECHANGE, DBT_DEVNODES_CHANGED).
LONG RemoveDevice(const std::string& instance_id);

// The device paths of the interfaces of `interface_class` whose instance is present, in the interfaces' order.
LONG PresentInterfaces(const GUID& interface_class, std::vector<std::string>* paths);

// Tokens plugged in whose instance was removed: the machine sees them again once they are plugged in again.
std::vector<std::string> UndetectedTokens();

// A device installation in progress, as CMP_WaitNoPendingInstallEvents reports it (DIR/devices/install-pending).
void SetInstallPending(bool pending);
bool InstallPending();

}  // namespace xp::pnp
