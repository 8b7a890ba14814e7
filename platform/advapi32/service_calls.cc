// Making, opening and deleting services: CreateServiceA, OpenServiceA, DeleteService. The table holds kernel and
// file-system drivers, the only services the system makes.
#include <cstdio>

#include "services_private.h"
#include "xp/driver_services.h"
#include "xp/faults.h"

namespace xp::advapi32 {
namespace {

constexpr size_t kMaxNameLength = 256;

std::string Hex(DWORD number) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", number);
  return text;
}

// A service name: 1 to 256 characters, no '/' or '\'.
bool ValidName(LPCSTR name) {
  if (name == nullptr || name[0] == '\0') return false;
  const std::string text(name);
  return text.size() <= kMaxNameLength && text.find_first_of("/\\") == std::string::npos;
}

SC_HANDLE OpenedService(const ServiceConfig& config, DWORD access) {
  ScHandle handle;
  handle.kind = ScHandle::Kind::kService;
  handle.access = access;
  handle.name = config.name;
  handle.type = config.type;
  return InsertScHandle(handle);
}

// The manager handle with `needed`, else the last error set.
bool Manager(SC_HANDLE manager, DWORD needed) {
  ScHandle entry;
  if (!LookupScHandle(manager, ScHandle::Kind::kManager, &entry)) return false;
  if ((entry.access & needed) != needed) return FailWith(ERROR_ACCESS_DENIED);
  return true;
}

// The checks of CreateServiceA's arguments; ERROR_SUCCESS when the request is one the table can hold.
DWORD CheckCreate(LPCSTR display_name, DWORD desired_access, DWORD service_type, DWORD start_type,
                  DWORD error_control, LPCSTR binary_path_name, LPCSTR load_order_group, LPDWORD tag_id,
                  LPCSTR dependencies, LPCSTR service_start_name, LPCSTR password) {
  if (service_type == SERVICE_WIN32_OWN_PROCESS || service_type == SERVICE_WIN32_SHARE_PROCESS) {
    return Unimplemented("CreateServiceA", "Win32 services");
  }
  if (load_order_group != nullptr || tag_id != nullptr || dependencies != nullptr || service_start_name != nullptr ||
      password != nullptr) {
    return Unimplemented("CreateServiceA", "groups, tags, dependencies and accounts");
  }
  if ((desired_access & ~SERVICE_ALL_ACCESS) != 0) {
    return Unimplemented("CreateServiceA", "access " + Hex(desired_access));
  }
  if (service_type != SERVICE_KERNEL_DRIVER && service_type != SERVICE_FILE_SYSTEM_DRIVER) {
    return ERROR_INVALID_PARAMETER;
  }
  if (start_type > SERVICE_DISABLED || error_control > SERVICE_ERROR_CRITICAL) return ERROR_INVALID_PARAMETER;
  if (binary_path_name == nullptr || binary_path_name[0] == '\0') return ERROR_INVALID_PARAMETER;
  if (display_name != nullptr && std::string(display_name).size() > kMaxNameLength) return ERROR_INVALID_NAME;
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace xp::advapi32

using namespace xp::advapi32;

extern "C" {

// Exported by advapi32. Kernel and file-system drivers; no group, tag, dependencies or account.
SC_HANDLE CreateServiceA(SC_HANDLE manager, LPCSTR service_name, LPCSTR display_name, DWORD desired_access,
                         DWORD service_type, DWORD start_type, DWORD error_control, LPCSTR binary_path_name,
                         LPCSTR load_order_group, LPDWORD tag_id, LPCSTR dependencies, LPCSTR service_start_name,
                         LPCSTR password) {
  if (!Manager(manager, SC_MANAGER_CREATE_SERVICE)) return nullptr;
  if (!ValidName(service_name)) {
    FailWith(ERROR_INVALID_NAME);
    return nullptr;
  }
  const DWORD refused = CheckCreate(display_name, desired_access, service_type, start_type, error_control,
                                    binary_path_name, load_order_group, tag_id, dependencies, service_start_name,
                                    password);
  if (refused != ERROR_SUCCESS) {
    FailWith(refused);
    return nullptr;
  }
  const std::u16string name = xp::registry::AnsiToUtf16(service_name);
  if (const std::optional<ServiceConfig> existing = FindService(name)) {
    if (!SweepIfDeleted(*existing)) {
      FailWith(existing->marked_for_delete ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS);
      return nullptr;
    }
  }
  ServiceConfig config;
  config.name = name;
  config.type = service_type;
  config.start = start_type;
  config.error_control = error_control;
  config.image_path = xp::registry::AnsiToUtf16(binary_path_name);
  config.display_name = display_name != nullptr ? xp::registry::AnsiToUtf16(display_name) : name;
  const LONG written = WriteService(config);
  if (written != ERROR_SUCCESS) {
    FailWith(written);
    return nullptr;
  }
  return OpenedService(*FindService(name), desired_access);
}

// Exported by advapi32.
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR service_name, DWORD desired_access) {
  if (!Manager(manager, SC_MANAGER_CONNECT)) return nullptr;
  if (!ValidName(service_name)) {
    FailWith(ERROR_INVALID_NAME);
    return nullptr;
  }
  if ((desired_access & ~SERVICE_ALL_ACCESS) != 0) {
    Unimplemented("OpenServiceA", "access " + Hex(desired_access));
    return nullptr;
  }
  const std::optional<ServiceConfig> config = FindService(xp::registry::AnsiToUtf16(service_name));
  if (!config || SweepIfDeleted(*config)) {
    FailWith(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if (!CallerMayHold(ScHandle::Kind::kService, desired_access)) {
    FailWith(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return OpenedService(*config, desired_access);
}

// Exported by advapi32. A running driver stays in the table, marked, until it stops.
BOOL DeleteService(SC_HANDLE service) {
  ScHandle entry;
  if (!LookupScHandle(service, ScHandle::Kind::kService, &entry)) return FALSE;
  if ((entry.access & DELETE) == 0) return FailWith(ERROR_ACCESS_DENIED);
  const std::optional<ServiceConfig> config = FindService(entry.name);
  if (!config || config->marked_for_delete) return FailWith(ERROR_SERVICE_MARKED_FOR_DELETE);
  const LONG result = xp::kernel32::DriverServiceRunning(config->name) ? MarkForDelete(config->name)
                                                                       : RemoveService(config->name);
  if (result != ERROR_SUCCESS) return FailWith(result);
  xp::machine::CrashPoint("DeleteService", xp::registry::Utf16ToAnsi(config->name));
  return TRUE;
}

}  // extern "C"
