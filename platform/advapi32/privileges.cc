// Privileges: LookupPrivilegeValueA and AdjustTokenPrivileges. Which privileges a process has enabled is kept in
// its record of the process table, where ExitWindowsEx looks for SeShutdownPrivilege.
#include <strings.h>

#include <algorithm>

#include "advapi32_private.h"
#include "security_private.h"
#include "xp/faults.h"
#include "xp/processes.h"

namespace xp::advapi32 {
namespace {

struct Privilege {
  const char* name;
  DWORD luid;
};

// The privileges the system asks for, with their XP LUIDs.
constexpr Privilege kPrivileges[] = {{SE_SHUTDOWN_NAME, 19}};

const Privilege* FindByName(const char* name) {
  for (const Privilege& privilege : kPrivileges) {
    if (::strcasecmp(privilege.name, name) == 0) return &privilege;
  }
  return nullptr;
}

const Privilege* FindByLuid(const LUID& luid) {
  for (const Privilege& privilege : kPrivileges) {
    if (luid.HighPart == 0 && luid.LowPart == privilege.luid) return &privilege;
  }
  return nullptr;
}

}  // namespace

bool AccountHolds(const machine::Account& account, const std::string& privilege) {
  const bool service =
      account.kind == machine::AccountKind::kLocalService || account.kind == machine::AccountKind::kNetworkService;
  return privilege == SE_SHUTDOWN_NAME && !service;
}

}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" BOOL LookupPrivilegeValueA(LPCSTR system_name, LPCSTR name, PLUID luid) {
  if (system_name != nullptr) {
    xp::advapi32::Unimplemented("LookupPrivilegeValueA", "looking up on another computer");
    return FALSE;
  }
  if (name == nullptr || luid == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("LookupPrivilegeValueA")) {
    SetLastError(*error);
    return FALSE;
  }
  const xp::advapi32::Privilege* privilege = xp::advapi32::FindByName(name);
  if (privilege == nullptr) {
    xp::advapi32::Unimplemented("LookupPrivilegeValueA", std::string("privileges other than ") + SE_SHUTDOWN_NAME);
    return FALSE;
  }
  *luid = LUID{privilege->luid, 0};
  return TRUE;
}

// Exported by advapi32. TRUE whenever the token could be adjusted; GetLastError() then tells ERROR_SUCCESS from
// ERROR_NOT_ALL_ASSIGNED (a privilege the account does not hold was left as it was).
extern "C" BOOL AdjustTokenPrivileges(HANDLE token, BOOL disable_all_privileges, PTOKEN_PRIVILEGES new_state,
                                      DWORD, PTOKEN_PRIVILEGES previous_state, PDWORD) {
  if (disable_all_privileges || previous_state != nullptr) {
    xp::advapi32::Unimplemented("AdjustTokenPrivileges", "disabling all and returning the previous state");
    return FALSE;
  }
  if (new_state == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (DWORD i = 0; i < new_state->PrivilegeCount; ++i) {
    if ((new_state->Privileges[i].Attributes & ~SE_PRIVILEGE_ENABLED) != 0) {
      xp::advapi32::Unimplemented("AdjustTokenPrivileges", "attributes other than SE_PRIVILEGE_ENABLED or 0");
      return FALSE;
    }
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("AdjustTokenPrivileges")) {
    SetLastError(*error);
    return FALSE;
  }
  const std::optional<xp::advapi32::TokenSubject> subject = xp::advapi32::ResolveToken(token, TOKEN_ADJUST_PRIVILEGES);
  if (!subject) return FALSE;
  std::vector<std::string> enabled = subject->enabled_privileges;
  bool all_assigned = true;
  for (DWORD i = 0; i < new_state->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& change = new_state->Privileges[i];
    const xp::advapi32::Privilege* privilege = xp::advapi32::FindByLuid(change.Luid);
    if (privilege == nullptr || !xp::advapi32::AccountHolds(subject->account, privilege->name)) {
      all_assigned = false;
      continue;
    }
    std::erase(enabled, privilege->name);
    if (change.Attributes & SE_PRIVILEGE_ENABLED) enabled.push_back(privilege->name);
  }
  if (enabled != subject->enabled_privileges) xp::machine::SetEnabledPrivileges(subject->pid, enabled);
  SetLastError(all_assigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}
