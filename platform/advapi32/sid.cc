// Security identifiers: the SID structure, the SIDs of the machine's accounts and groups, and
// AllocateAndInitializeSid, EqualSid and FreeSid.
#include <cstdlib>
#include <cstring>

#include "security_private.h"
#include "xp/faults.h"

namespace xp::advapi32 {
namespace {

constexpr BYTE kRevision = 1;
constexpr BYTE kMaxSubAuthorities = 15;
constexpr DWORD kHeaderSize = 8;  // revision, count, 6 bytes of authority
constexpr std::array<BYTE, 6> kWorldAuthority = {0, 0, 0, 0, 0, 1};
constexpr std::array<BYTE, 6> kNtAuthority = {0, 0, 0, 0, 0, 5};
constexpr DWORD kMachineDomainRid = 21;  // SECURITY_NT_NON_UNIQUE: S-1-5-21-<machine id>-<RID>

constexpr DWORD kGroupEnabled = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;

}  // namespace

DWORD SidValue::Size() const { return kHeaderSize + static_cast<DWORD>(sub_authorities.size()) * sizeof(DWORD); }

void SidValue::WriteTo(void* sid) const {
  auto* bytes = static_cast<BYTE*>(sid);
  bytes[0] = kRevision;
  bytes[1] = static_cast<BYTE>(sub_authorities.size());
  std::memcpy(bytes + 2, authority.data(), authority.size());
  std::memcpy(bytes + kHeaderSize, sub_authorities.data(), sub_authorities.size() * sizeof(DWORD));
}

std::string SidValue::Text() const {
  uint64_t value = 0;
  for (const BYTE byte : authority) value = value << 8 | byte;
  std::string text = "S-1-" + std::to_string(value);
  for (const DWORD sub_authority : sub_authorities) text += "-" + std::to_string(sub_authority);
  return text;
}

std::optional<SidValue> SidValue::Read(const void* sid) {
  if (sid == nullptr) return std::nullopt;
  const auto* bytes = static_cast<const BYTE*>(sid);
  if (bytes[0] != kRevision || bytes[1] > kMaxSubAuthorities) return std::nullopt;
  SidValue value;
  std::memcpy(value.authority.data(), bytes + 2, value.authority.size());
  value.sub_authorities.resize(bytes[1]);
  std::memcpy(value.sub_authorities.data(), bytes + kHeaderSize, value.sub_authorities.size() * sizeof(DWORD));
  return value;
}

SidValue EveryoneSid() { return {kWorldAuthority, {SECURITY_WORLD_RID}}; }
SidValue AdministratorsSid() { return {kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}}; }
SidValue UsersSid() { return {kNtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}}; }

SidValue SidOfAccount(const machine::Account& account) {
  switch (account.kind) {
    case machine::AccountKind::kSystem:
      return {kNtAuthority, {SECURITY_LOCAL_SYSTEM_RID}};
    case machine::AccountKind::kLocalService:
      return {kNtAuthority, {SECURITY_LOCAL_SERVICE_RID}};
    case machine::AccountKind::kNetworkService:
      return {kNtAuthority, {SECURITY_NETWORK_SERVICE_RID}};
    case machine::AccountKind::kUser:
      break;
  }
  const std::array<uint32_t, 3> id = machine::MachineId();
  return {kNtAuthority, {kMachineDomainRid, id[0], id[1], id[2], account.rid}};
}

SidValue LogonSid(LUID logon_id) {
  constexpr DWORD kLogonIdsRid = 5;  // SECURITY_LOGON_IDS_RID
  return SidValue{kNtAuthority, {kLogonIdsRid, static_cast<DWORD>(logon_id.HighPart), logon_id.LowPart}};
}

std::vector<TokenGroup> GroupsOfAccount(const machine::Account& account) {
  std::vector<TokenGroup> groups = {{EveryoneSid(), kGroupEnabled}};
  if (account.administrator) groups.push_back({AdministratorsSid(), kGroupEnabled | SE_GROUP_OWNER});
  if (account.kind != machine::AccountKind::kSystem) groups.push_back({UsersSid(), kGroupEnabled});
  return groups;
}

}  // namespace xp::advapi32

// Exported by advapi32. The SID comes from the heap and goes back with FreeSid.
extern "C" BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE sub_authority_count,
                                         DWORD sub_authority0, DWORD sub_authority1, DWORD sub_authority2,
                                         DWORD sub_authority3, DWORD sub_authority4, DWORD sub_authority5,
                                         DWORD sub_authority6, DWORD sub_authority7, PSID* sid) {
  if (authority == nullptr || sid == nullptr || sub_authority_count > 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("AllocateAndInitializeSid")) {
    SetLastError(*error);
    return FALSE;
  }
  const DWORD all[] = {sub_authority0, sub_authority1, sub_authority2, sub_authority3,
                       sub_authority4, sub_authority5, sub_authority6, sub_authority7};
  xp::advapi32::SidValue value;
  std::memcpy(value.authority.data(), authority->Value, value.authority.size());
  value.sub_authorities.assign(all, all + sub_authority_count);
  *sid = std::malloc(value.Size());
  if (*sid == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  value.WriteTo(*sid);
  return TRUE;
}

// Exported by advapi32. FALSE for different or invalid SIDs; the last error says which (ERROR_SUCCESS or
// ERROR_INVALID_SID).
extern "C" BOOL EqualSid(PSID sid1, PSID sid2) {
  const std::optional<xp::advapi32::SidValue> first = xp::advapi32::SidValue::Read(sid1);
  const std::optional<xp::advapi32::SidValue> second = xp::advapi32::SidValue::Read(sid2);
  if (!first || !second) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return *first == *second ? TRUE : FALSE;
}

// Exported by advapi32.
extern "C" PVOID FreeSid(PSID sid) {
  std::free(sid);
  return nullptr;
}

// Exported by advapi32.
extern "C" BOOL IsValidSid(PSID sid) { return xp::advapi32::SidValue::Read(sid).has_value(); }

// Exported by advapi32.
extern "C" DWORD GetLengthSid(PSID sid) {
  const std::optional<xp::advapi32::SidValue> value = xp::advapi32::SidValue::Read(sid);
  return value ? value->Size() : 0;
}

// Exported by advapi32.
extern "C" BOOL CopySid(DWORD destination_length, PSID destination, PSID source) {
  const std::optional<xp::advapi32::SidValue> value = xp::advapi32::SidValue::Read(source);
  if (!value || destination == nullptr) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (destination_length < value->Size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  value->WriteTo(destination);
  return TRUE;
}
