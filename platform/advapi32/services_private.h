// The service manager's shared pieces: its handles and the service table it keeps in the registry under
// HKLM\SYSTEM\CurrentControlSet\Services\<name> (Type, Start, ErrorControl, ImagePath, DisplayName as REG_DWORD,
// REG_DWORD, REG_DWORD, REG_EXPAND_SZ, REG_SZ; DeleteFlag = 1 while a deleted service still runs), as XP keeps it.
#pragma once

#include <optional>
#include <string>

#include "advapi32_private.h"

namespace xp::advapi32 {

// service_handles.cc: what an SC_HANDLE stands for.
struct ScHandle {
  enum class Kind { kManager, kService };
  Kind kind = Kind::kManager;
  DWORD access = 0;
  std::u16string name;  // a service: its name as the table spells it
  DWORD type = 0;       // a service: its type when it was opened
};
SC_HANDLE InsertScHandle(const ScHandle& handle);
// The handle's entry; false with ERROR_INVALID_HANDLE set for anything else (or a handle of the other kind).
bool LookupScHandle(SC_HANDLE handle, ScHandle::Kind kind, ScHandle* entry);
// True when the caller may hold these rights: administrators may hold all; other accounts only the reading ones.
bool CallerMayHold(ScHandle::Kind kind, DWORD access);
// BOOL calls: set the last error and return FALSE (or NULL).
BOOL FailWith(DWORD error);

// service_table.cc: one service's entry.
struct ServiceConfig {
  std::u16string name;  // as the table spells it
  DWORD type = 0;
  DWORD start = 0;
  DWORD error_control = 0;
  std::u16string image_path;
  std::u16string display_name;
  bool marked_for_delete = false;
};
// The entry, or nullopt when no service has that name (a key without a Type value is no service).
std::optional<ServiceConfig> FindService(const std::u16string& name);
// Makes the entry, writing Type last: a key cut short by a crash is no service and is made again.
LONG WriteService(const ServiceConfig& config);
// Removes the service's key with everything beneath it.
LONG RemoveService(const std::u16string& name);
LONG MarkForDelete(const std::u16string& name);
// A service marked for delete leaves the table once its driver no longer runs: true when it did just now.
bool SweepIfDeleted(const ServiceConfig& config);

}  // namespace xp::advapi32
