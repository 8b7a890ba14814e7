// The service manager's handles (its own table, as XP's SC_HANDLEs are not kernel handles), who may hold which
// rights, and OpenSCManagerA and CloseServiceHandle.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "services_private.h"
#include "xp/accounts.h"

namespace xp::advapi32 {
namespace {

constexpr uintptr_t kFirstHandle = 0x5C0000;
constexpr uintptr_t kHandleStep = 8;
// What every account may hold; the rest is for administrators.
constexpr DWORD kManagerReadRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE |
                                     SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kServiceReadRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                     SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

struct Table {
  std::mutex mutex;
  std::unordered_map<uintptr_t, ScHandle> handles;
  uintptr_t next = kFirstHandle;
};

Table& TheTable() {
  static Table* const table = new Table;
  return *table;
}

bool CallerIsAdministrator() {
  const std::optional<machine::Account> account = machine::FindAccount(machine::CurrentAccountName());
  return account.has_value() && account->administrator;
}

}  // namespace

SC_HANDLE InsertScHandle(const ScHandle& handle) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const uintptr_t value = table.next;
  table.next += kHandleStep;
  table.handles.emplace(value, handle);
  return reinterpret_cast<SC_HANDLE>(value);
}

bool LookupScHandle(SC_HANDLE handle, ScHandle::Kind kind, ScHandle* entry) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const auto found = table.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.handles.end() || found->second.kind != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  *entry = found->second;
  return true;
}

bool CallerMayHold(ScHandle::Kind kind, DWORD access) {
  const DWORD reading = kind == ScHandle::Kind::kManager ? kManagerReadRights : kServiceReadRights;
  return (access & ~reading) == 0 || CallerIsAdministrator();
}

BOOL FailWith(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace xp::advapi32

using namespace xp::advapi32;

extern "C" {

// Exported by advapi32. This computer's active database only.
SC_HANDLE OpenSCManagerA(LPCSTR machine_name, LPCSTR database_name, DWORD desired_access) {
  if (machine_name != nullptr && machine_name[0] != '\0') {
    Unimplemented("OpenSCManagerA", std::string("another computer's service manager: ") + machine_name);
    return nullptr;
  }
  if (database_name != nullptr && std::strcmp(database_name, "ServicesActive") != 0) {
    FailWith(ERROR_DATABASE_DOES_NOT_EXIST);
    return nullptr;
  }
  if ((desired_access & ~SC_MANAGER_ALL_ACCESS) != 0) {
    char text[32];
    std::snprintf(text, sizeof text, "access 0x%X", desired_access);
    Unimplemented("OpenSCManagerA", text);
    return nullptr;
  }
  if (!CallerMayHold(ScHandle::Kind::kManager, desired_access)) {
    FailWith(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  ScHandle handle;
  handle.access = desired_access;
  return InsertScHandle(handle);
}

// Exported by advapi32.
BOOL CloseServiceHandle(SC_HANDLE handle) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.handles.erase(reinterpret_cast<uintptr_t>(handle)) == 0) return FailWith(ERROR_INVALID_HANDLE);
  return TRUE;
}

}  // extern "C"
