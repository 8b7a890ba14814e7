// The device interfaces: DeviceClasses\<class GUID>\<interface>, the interface's key named after its device path
// with '#' for '\', holding DeviceInstance (the instance that registered it) and SymbolicLink (the device path).
#include <algorithm>

#include "pnp_private.h"
#include "winreg.h"

namespace xp::pnp {
namespace {

std::string KeyName(const std::string& path) {
  std::string name = path;
  std::replace(name.begin(), name.end(), '\\', '#');
  return name;
}

struct InterfaceKey {
  std::string class_name;
  std::string name;
  std::string instance_id;
  std::string path;
};

// Every interface of every class, or of `only_class` when it is set.
LONG Interfaces(const std::optional<std::string>& only_class, std::vector<InterfaceKey>* found) {
  found->clear();
  registry::KeyId classes = 0;
  std::vector<std::string> class_names;
  if (const LONG error = Subkeys(registry::kMachineKey, kDeviceClassesKey, &classes, &class_names)) return error;
  for (const std::string& class_name : class_names) {
    if (only_class && !SameText(class_name, *only_class)) continue;
    registry::KeyId class_key = 0;
    std::vector<std::string> names;
    if (const LONG error = Subkeys(classes, Wide(class_name), &class_key, &names)) return error;
    for (const std::string& name : names) {
      registry::KeyId key = 0;
      if (registry::OpenKey(class_key, Wide(name), &key) != ERROR_SUCCESS) continue;
      found->push_back({class_name, name, StringValue(key, u"DeviceInstance").value_or(""),
                        StringValue(key, u"SymbolicLink").value_or("")});
    }
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG AddInterface(const std::string& instance_id, const GUID& interface_class, const std::string& path) {
  registry::KeyId key = 0;
  const std::u16string sub_path = Wide(GuidText(interface_class) + "\\" + KeyName(path));
  registry::KeyId classes = 0;
  if (LONG error = registry::CreateKey(registry::kMachineKey, kDeviceClassesKey, &classes, nullptr);
      error != ERROR_SUCCESS || (error = registry::CreateKey(classes, sub_path, &key, nullptr)) != ERROR_SUCCESS) {
    return error;
  }
  if (const LONG error = registry::SetValue(key, u"DeviceInstance", REG_SZ, StringData(instance_id))) return error;
  return registry::SetValue(key, u"SymbolicLink", REG_SZ, StringData(path));
}

bool HasInterface(const std::string& instance_id) {
  std::vector<InterfaceKey> interfaces;
  if (Interfaces(std::nullopt, &interfaces) != ERROR_SUCCESS) return false;
  return std::any_of(interfaces.begin(), interfaces.end(),
                     [&](const InterfaceKey& i) { return SameText(i.instance_id, instance_id); });
}

LONG RemoveInterfacesOf(const std::string& instance_id) {
  std::vector<InterfaceKey> interfaces;
  if (const LONG error = Interfaces(std::nullopt, &interfaces)) return error;
  registry::KeyId classes = 0;
  for (const InterfaceKey& found : interfaces) {
    if (!SameText(found.instance_id, instance_id)) continue;
    if (LONG error = registry::OpenKey(registry::kMachineKey, kDeviceClassesKey, &classes);
        error != ERROR_SUCCESS ||
        ((error = registry::DeleteKey(classes, Wide(found.class_name + "\\" + found.name))) != ERROR_SUCCESS &&
         error != ERROR_FILE_NOT_FOUND)) {
      return error;
    }
  }
  return ERROR_SUCCESS;
}

LONG PresentInterfaces(const GUID& interface_class, std::vector<std::string>* paths) {
  paths->clear();
  if (const LONG error = Refresh()) return error;
  std::vector<InterfaceKey> interfaces;
  if (const LONG error = Interfaces(GuidText(interface_class), &interfaces)) return error;
  for (const InterfaceKey& found : interfaces) {
    if (!found.path.empty() && InstanceExists(found.instance_id) && Present(found.instance_id)) {
      paths->push_back(found.path);
    }
  }
  return ERROR_SUCCESS;
}

}  // namespace xp::pnp
