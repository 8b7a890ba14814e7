// SetupAPI's device-interface enumeration, as far as the token library uses it: the present interfaces of a
// class in the machine's device database, walked by member index, each giving its device path through the two-call
// detail protocol. Other flags and arguments fail loudly. SetupDiGetClassDevsA also makes the list of every device
// (DIGCF_ALLCLASSES, device_list.cc).
#include <cstddef>
#include <cstring>
#include <string>

#include "device_info_set.h"
#include "setupapi.h"
#include "setupapi_private.h"
#include "windows.h"
#include "xp/debug.h"
#include "xp/pnp.h"

XP_DEBUG_CHANNEL(setupapi);

namespace {

using xp::setupapi::DeviceInfoSet;
using xp::setupapi::Fail;
using xp::setupapi::Succeed;

constexpr DWORD kSupportedFlags = DIGCF_PRESENT | DIGCF_DEVICEINTERFACE;
constexpr DWORD SPINT_ACTIVE = 0x00000001;
// The fixed part of the detail record: cbSize and the first character of DevicePath.
constexpr DWORD kDetailFixedSize = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + sizeof(CHAR);

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// The member an interface record names: Reserved holds its index + 1, set by SetupDiEnumDeviceInterfaces.
bool MemberOf(const DeviceInfoSet& set, const SP_DEVICE_INTERFACE_DATA& data, DWORD* index) {
  if (data.Reserved == 0 || data.Reserved > set.paths.size()) return false;
  *index = static_cast<DWORD>(data.Reserved - 1);
  return true;
}

}  // namespace

// Exported by setupapi.
extern "C" HDEVINFO SetupDiGetClassDevsA(const GUID* class_guid, LPCSTR enumerator, HWND, DWORD flags) {
  if (class_guid == nullptr && enumerator == nullptr && (flags & ~DIGCF_PRESENT) == DIGCF_ALLCLASSES) {
    return xp::setupapi::AllDevices((flags & DIGCF_PRESENT) != 0);
  }
  if (flags != kSupportedFlags || enumerator != nullptr) {
    XP_FIXME("SetupDiGetClassDevsA", "flags 0x%x enumerator %s: only present device interfaces of a class, or every device",
             static_cast<unsigned>(flags), enumerator ? enumerator : "(none)");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  if (class_guid == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::optional<DWORD> error = xp::setupapi::FaultOf("SetupDiGetClassDevsA");
  if (!error && xp::setupapi::ClassDevsFailure() != 0) error = xp::setupapi::ClassDevsFailure();
  DeviceInfoSet set{*class_guid, {}, {}};
  if (!error) {
    if (const LONG listed = xp::pnp::PresentInterfaces(*class_guid, &set.paths)) error = static_cast<DWORD>(listed);
  }
  if (error) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  const HDEVINFO handle = xp::setupapi::AddSet(std::move(set));
  SetLastError(ERROR_SUCCESS);
  return handle;
}

// Exported by setupapi.
extern "C" BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set_handle, PSP_DEVINFO_DATA device, const GUID* interface_class,
                                            DWORD member_index, PSP_DEVICE_INTERFACE_DATA interface_data) {
  const auto set = xp::setupapi::FindSet(set_handle);
  if (!set) return Fail(ERROR_INVALID_HANDLE);
  if (device != nullptr) {
    XP_FIXME("SetupDiEnumDeviceInterfaces", "interfaces of one device");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  if (interface_class == nullptr || interface_data == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (interface_data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
  if (const DWORD error = xp::setupapi::EnumFailure(member_index)) return Fail(error);
  // The set holds interfaces of its own class only.
  if (!SameGuid(*interface_class, set->interface_class) || member_index >= set->paths.size()) {
    return Fail(ERROR_NO_MORE_ITEMS);
  }
  interface_data->InterfaceClassGuid = set->interface_class;
  interface_data->Flags = SPINT_ACTIVE;
  interface_data->Reserved = member_index + 1;
  return Succeed();
}

// Exported by setupapi. Called first without a record for the size, then with a record of that size whose
// cbSize is the fixed part.
extern "C" BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set_handle, PSP_DEVICE_INTERFACE_DATA interface_data,
                                                 PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detail_size,
                                                 PDWORD required_size, PSP_DEVINFO_DATA device) {
  const auto set = xp::setupapi::FindSet(set_handle);
  if (!set) return Fail(ERROR_INVALID_HANDLE);
  if (device != nullptr) {
    XP_FIXME("SetupDiGetDeviceInterfaceDetailA", "device information of the interface");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  }
  DWORD index = 0;
  if (interface_data == nullptr || interface_data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
      !MemberOf(*set, *interface_data, &index)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (detail == nullptr ? detail_size != 0 : detail_size < kDetailFixedSize) return Fail(ERROR_INVALID_USER_BUFFER);
  if (detail != nullptr && detail->cbSize != kDetailFixedSize) return Fail(ERROR_INVALID_USER_BUFFER);
  if (const DWORD error = xp::setupapi::DetailFailure(index)) return Fail(error);
  const std::string& path = set->paths[index];
  const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
  if (required_size != nullptr) *required_size = needed;
  if (detail == nullptr || detail_size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  char* const device_path = reinterpret_cast<char*>(detail) + offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  std::memcpy(device_path, path.c_str(), path.size() + 1);
  return Succeed();
}

// Exported by setupapi.
extern "C" BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set_handle) {
  if (!xp::setupapi::DestroySet(set_handle)) return Fail(ERROR_INVALID_HANDLE);
  return Succeed();
}
