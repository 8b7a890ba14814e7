// The device information list of every device: made from the machine's device database, walked by index; each
// device gives its hardware IDs, and an administrator may remove it (the class installer's DIF_REMOVE).
#include <cstring>

#include "device_info_set.h"
#include "setupapi_private.h"
#include "windows.h"
#include "xp/accounts.h"
#include "xp/debug.h"
#include "xp/pnp.h"

XP_DEBUG_CHANNEL(setupapi);

namespace xp::setupapi {
namespace {

// The device a record names (Reserved holds its index + 1, set by SetupDiEnumDeviceInfo), or nullptr with the last
// error set.
const DeviceInfoSet::Device* DeviceOf(const DeviceInfoSet* set, const SP_DEVINFO_DATA* device) {
  if (set == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA) || device->Reserved == 0 ||
      device->Reserved > set->devices.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &set->devices[device->Reserved - 1];
}

bool CallerIsAdministrator() {
  const std::optional<machine::Account> account = machine::FindAccount(machine::CurrentAccountName());
  return account && account->administrator;
}

}  // namespace

HDEVINFO AllDevices(bool present_only) {
  if (const std::optional<DWORD> error = FaultOf("SetupDiGetClassDevsA")) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<pnp::DeviceInstance> devices;
  if (const LONG error = pnp::ListDevices(&devices)) {
    SetLastError(static_cast<DWORD>(error));
    return INVALID_HANDLE_VALUE;
  }
  DeviceInfoSet set{};
  for (const pnp::DeviceInstance& device : devices) {
    if (!present_only || device.present) {
      GUID class_guid{};
      ParseGuid(device.class_guid, &class_guid);
      set.devices.push_back({device.id, class_guid});
    }
  }
  const HDEVINFO handle = AddSet(std::move(set));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

}  // namespace xp::setupapi

using xp::setupapi::Fail;

// Exported by setupapi.
extern "C" BOOL SetupDiEnumDeviceInfo(HDEVINFO set_handle, DWORD member_index, PSP_DEVINFO_DATA device) {
  const auto set = xp::setupapi::FindSet(set_handle);
  if (!set) return Fail(ERROR_INVALID_HANDLE);
  if (device == nullptr || device->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupDiEnumDeviceInfo")) return Fail(*error);
  if (member_index >= set->devices.size()) return Fail(ERROR_NO_MORE_ITEMS);
  device->ClassGuid = set->devices[member_index].class_guid;
  device->DevInst = member_index + 1;
  device->Reserved = member_index + 1;
  return xp::setupapi::Succeed();
}

// Exported by setupapi. The data is the device's HardwareID value as the database holds it, read now: a device
// removed since the set was made is ERROR_NO_SUCH_DEVINST.
extern "C" BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set_handle, PSP_DEVINFO_DATA device, DWORD property,
                                                  PDWORD property_type, PBYTE buffer, DWORD buffer_size,
                                                  PDWORD required_size) {
  const auto set = xp::setupapi::FindSet(set_handle);
  const xp::setupapi::DeviceInfoSet::Device* member = xp::setupapi::DeviceOf(set.get(), device);
  if (member == nullptr) return FALSE;
  if (property != SPDRP_HARDWAREID) {
    XP_FIXME("SetupDiGetDeviceRegistryPropertyA", "only SPDRP_HARDWAREID is implemented");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (buffer == nullptr && buffer_size != 0) return Fail(ERROR_INVALID_USER_BUFFER);
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupDiGetDeviceRegistryPropertyA")) {
    return Fail(*error);
  }
  std::vector<uint8_t> data;
  if (const LONG error = xp::pnp::HardwareIdData(member->instance_id, &data)) {
    return Fail(error == ERROR_FILE_NOT_FOUND ? ERROR_INVALID_DATA : static_cast<DWORD>(error));
  }
  if (property_type != nullptr) *property_type = REG_MULTI_SZ;
  if (required_size != nullptr) *required_size = static_cast<DWORD>(data.size());
  if (buffer_size < data.size()) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return xp::setupapi::Succeed();
}

// Exported by setupapi. Only DIF_REMOVE, with the default class installer's behaviour: administrators only.
extern "C" BOOL SetupDiCallClassInstaller(DI_FUNCTION install_function, HDEVINFO set_handle, PSP_DEVINFO_DATA device) {
  if (install_function != DIF_REMOVE) {
    XP_FIXME("SetupDiCallClassInstaller", "only DIF_REMOVE is implemented");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const auto set = xp::setupapi::FindSet(set_handle);
  const xp::setupapi::DeviceInfoSet::Device* member = xp::setupapi::DeviceOf(set.get(), device);
  if (member == nullptr) return FALSE;
  if (const std::optional<DWORD> error = xp::setupapi::FaultOf("SetupDiCallClassInstaller")) return Fail(*error);
  if (!xp::setupapi::CallerIsAdministrator()) return Fail(ERROR_ACCESS_DENIED);
  if (const LONG error = xp::pnp::RemoveDevice(member->instance_id)) return Fail(static_cast<DWORD>(error));
  return xp::setupapi::Succeed();
}
