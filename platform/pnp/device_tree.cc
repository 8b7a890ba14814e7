// The device instances: one key per instance under Enum, three levels deep (enumerator, device, instance), with the
// values HardwareID (REG_MULTI_SZ, absent for a device without hardware IDs), Class, ClassGUID, Service and
// DeviceDesc.
#include "dbt.h"
#include "pnp_private.h"
#include "setupapi.h"
#include "winreg.h"
#include "winuser.h"
#include "xp/machine.h"
#include "xp/window_broadcasts.h"

namespace xp::pnp {
namespace {

LONG OpenInstance(const std::string& instance_id, registry::KeyId* key) {
  registry::KeyId tree = 0;
  if (const LONG error = registry::OpenKey(registry::kMachineKey, kEnumKey, &tree)) return error;
  return registry::OpenKey(tree, Wide(instance_id), key);
}

// A well-formed instance id has three non-empty parts.
bool IsInstanceId(const std::string& id) {
  const size_t first = id.find('\\');
  if (first == std::string::npos || first == 0) return false;
  const size_t second = id.find('\\', first + 1);
  return second != std::string::npos && second > first + 1 && second + 1 < id.size() &&
         id.find('\\', second + 1) == std::string::npos;
}

LONG SetString(registry::KeyId key, std::u16string_view name, const std::string& text) {
  return registry::SetValue(key, name, REG_SZ, StringData(text));
}

}  // namespace

LONG InstanceIds(std::vector<std::string>* ids) {
  ids->clear();
  registry::KeyId tree = 0;
  std::vector<std::string> enumerators;
  if (const LONG error = Subkeys(registry::kMachineKey, kEnumKey, &tree, &enumerators)) return error;
  for (const std::string& enumerator : enumerators) {
    registry::KeyId enumerator_key = 0;
    std::vector<std::string> devices;
    if (const LONG error = Subkeys(tree, Wide(enumerator), &enumerator_key, &devices)) return error;
    for (const std::string& device : devices) {
      registry::KeyId device_key = 0;
      std::vector<std::string> instances;
      if (const LONG error = Subkeys(enumerator_key, Wide(device), &device_key, &instances)) return error;
      for (const std::string& instance : instances) ids->push_back(enumerator + "\\" + device + "\\" + instance);
    }
  }
  return ERROR_SUCCESS;
}

bool InstanceExists(const std::string& instance_id) {
  registry::KeyId key = 0;
  return IsInstanceId(instance_id) && OpenInstance(instance_id, &key) == ERROR_SUCCESS;
}

LONG ListDevices(std::vector<DeviceInstance>* devices) {
  devices->clear();
  if (const LONG error = Refresh()) return error;
  std::vector<std::string> ids;
  if (const LONG error = InstanceIds(&ids)) return error;
  for (const std::string& id : ids) {
    registry::KeyId key = 0;
    if (OpenInstance(id, &key) != ERROR_SUCCESS) continue;  // removed meanwhile
    DeviceInstance device;
    device.id = id;
    device.hardware_ids = MultiStringValue(key, u"HardwareID");
    device.class_name = StringValue(key, u"Class").value_or("");
    device.class_guid = StringValue(key, u"ClassGUID").value_or("");
    device.service = StringValue(key, u"Service").value_or("");
    device.description = StringValue(key, u"DeviceDesc").value_or("");
    device.present = Present(id);
    devices->push_back(std::move(device));
  }
  return ERROR_SUCCESS;
}

LONG HardwareIdData(const std::string& instance_id, std::vector<uint8_t>* data) {
  registry::KeyId key = 0;
  if (!IsInstanceId(instance_id)) return ERROR_NO_SUCH_DEVINST;
  if (const LONG error = OpenInstance(instance_id, &key)) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_KEY_DELETED ? ERROR_NO_SUCH_DEVINST : error;
  }
  registry::Value value;
  if (const LONG error = registry::QueryValue(key, u"HardwareID", &value)) return error;
  *data = registry::StoredDataToAnsi(value.type, value.data);
  return ERROR_SUCCESS;
}

LONG AddDevice(const DeviceInstance& device) {
  if (!IsInstanceId(device.id)) return ERROR_INVALID_PARAMETER;
  registry::KeyId tree = 0;
  registry::KeyId key = 0;
  if (LONG error = registry::CreateKey(registry::kMachineKey, kEnumKey, &tree, nullptr);
      error != ERROR_SUCCESS || (error = registry::CreateKey(tree, Wide(device.id), &key, nullptr)) != ERROR_SUCCESS) {
    return error;
  }
  if (device.hardware_ids.empty()) {
    const LONG error = registry::DeleteValue(key, u"HardwareID");
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return error;
  } else if (const LONG error =
                 registry::SetValue(key, u"HardwareID", REG_MULTI_SZ, MultiStringData(device.hardware_ids))) {
    return error;
  }
  for (const auto& [name, text] :
       {std::pair{u"Class", &device.class_name}, std::pair{u"ClassGUID", &device.class_guid},
        std::pair{u"Service", &device.service}, std::pair{u"DeviceDesc", &device.description}}) {
    if (const LONG error = SetString(key, name, *text)) return error;
  }
  return ERROR_SUCCESS;
}

LONG RemoveDevice(const std::string& instance_id) {
  if (!InstanceExists(instance_id)) return ERROR_NO_SUCH_DEVINST;
  if (const LONG error = RemoveInterfacesOf(instance_id)) return error;
  registry::KeyId tree = 0;
  if (const LONG error = registry::OpenKey(registry::kMachineKey, kEnumKey, &tree)) return error;
  if (const LONG error = registry::DeleteKey(tree, Wide(instance_id))) {
    return error == ERROR_FILE_NOT_FOUND ? ERROR_NO_SUCH_DEVINST : error;
  }
  machine::Journal("device removed " + instance_id);
  machine::BroadcastToWindows(machine::Root(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  return ERROR_SUCCESS;
}

}  // namespace xp::pnp
