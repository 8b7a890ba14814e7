// Declarations shared by the files of the device database, grouped by the file that defines them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xp/pnp.h"
#include "xp/registry.h"

namespace xp::pnp {

inline constexpr char16_t kEnumKey[] = u"SYSTEM\\CurrentControlSet\\Enum";
inline constexpr char16_t kDeviceClassesKey[] = u"SYSTEM\\CurrentControlSet\\Control\\DeviceClasses";

// registry_access.cc: the values and keys the database keeps, on the ANSI side.
std::u16string Wide(std::string_view ansi);
std::vector<uint8_t> StringData(std::string_view text);
std::vector<uint8_t> MultiStringData(const std::vector<std::string>& strings);
// nullopt for a missing value or one that is not a string.
std::optional<std::string> StringValue(registry::KeyId key, std::u16string_view name);
// The strings of a REG_MULTI_SZ value, up to its closing empty string or its end; empty when it is missing.
std::vector<std::string> MultiStringValue(registry::KeyId key, std::u16string_view name);
// Opens `sub_path` below `parent` and lists its subkeys; a key that is missing, or was deleted meanwhile, has none.
LONG Subkeys(registry::KeyId parent, std::u16string_view sub_path, registry::KeyId* key,
             std::vector<std::string>* names);
bool SameText(std::string_view a, std::string_view b);
std::string GuidText(const GUID& guid);

// machine_devices.cc: the devices a fresh machine has, and a token's instance.
std::vector<DeviceInstance> MachineDevices();
DeviceInstance TokenInstance(const std::string& token_id);

// device_tree.cc: the instance ids of the Enum tree, in its order.
LONG InstanceIds(std::vector<std::string>* ids);
bool InstanceExists(const std::string& instance_id);

// interfaces.cc
LONG AddInterface(const std::string& instance_id, const GUID& interface_class, const std::string& path);
bool HasInterface(const std::string& instance_id);
LONG RemoveInterfacesOf(const std::string& instance_id);

// detection.cc: the look every call of the database starts with: seeds a fresh machine's devices and detects the
// tokens plugged since the last look.
LONG Refresh();
// Present now: a token's instance while the token is plugged in, every other instance always.
bool Present(const std::string& instance_id);

}  // namespace xp::pnp
