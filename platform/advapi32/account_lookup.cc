// LookupAccountSidA: the name, domain and kind of the SIDs a machine's tokens hold.
#include <cstring>

#include "advapi32_private.h"
#include "security_private.h"
#include "xp/faults.h"
#include "xp/machine.h"

namespace xp::advapi32 {
namespace {

struct AccountName {
  std::string name;
  std::string domain;
  SID_NAME_USE use = SidTypeUnknown;
};

std::optional<AccountName> NameOf(const SidValue& sid) {
  if (sid == EveryoneSid()) return AccountName{"Everyone", "", SidTypeWellKnownGroup};
  if (sid == AdministratorsSid()) return AccountName{"Administrators", "BUILTIN", SidTypeAlias};
  if (sid == UsersSid()) return AccountName{"Users", "BUILTIN", SidTypeAlias};
  for (const machine::Account& account : machine::Accounts()) {
    if (SidOfAccount(account) != sid) continue;
    if (account.kind != machine::AccountKind::kUser) {
      return AccountName{account.name, "NT AUTHORITY", SidTypeWellKnownGroup};
    }
    return AccountName{account.name, machine::Setting("computer_name").value_or(""), SidTypeUser};
  }
  return std::nullopt;
}

bool Fits(const std::string& text, const LPSTR buffer, DWORD size) { return buffer != nullptr && text.size() < size; }

}  // namespace
}  // namespace xp::advapi32

// Exported by advapi32. Sizes are in characters: in, what the buffers hold; out, the lengths without the NUL, or,
// when a buffer is too small, the sizes needed with it (and nothing is copied).
extern "C" BOOL LookupAccountSidA(LPCSTR system_name, PSID sid, LPSTR name, LPDWORD name_size, LPSTR domain_name,
                                  LPDWORD domain_size, PSID_NAME_USE use) {
  if (system_name != nullptr) {
    xp::advapi32::Unimplemented("LookupAccountSidA", "looking up on another computer");
    return FALSE;
  }
  if (name_size == nullptr || domain_size == nullptr || use == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("LookupAccountSidA")) {
    SetLastError(*error);
    return FALSE;
  }
  const std::optional<xp::advapi32::SidValue> value = xp::advapi32::SidValue::Read(sid);
  if (!value) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const std::optional<xp::advapi32::AccountName> found = xp::advapi32::NameOf(*value);
  if (!found) {
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  if (!xp::advapi32::Fits(found->name, name, *name_size) ||
      !xp::advapi32::Fits(found->domain, domain_name, *domain_size)) {
    *name_size = static_cast<DWORD>(found->name.size() + 1);
    *domain_size = static_cast<DWORD>(found->domain.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(name, found->name.c_str(), found->name.size() + 1);
  std::memcpy(domain_name, found->domain.c_str(), found->domain.size() + 1);
  *name_size = static_cast<DWORD>(found->name.size());
  *domain_size = static_cast<DWORD>(found->domain.size());
  *use = found->use;
  return TRUE;
}
