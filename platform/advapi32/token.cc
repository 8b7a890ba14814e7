// Access tokens: OpenProcessToken and GetTokenInformation (TokenUser, TokenGroups). A token stands for a process of
// the machine; its user and groups follow from the account the process table gives for it.
#include <cstdint>
#include <cstring>
#include <memory>

#include "advapi32_private.h"
#include "security_private.h"
#include "xp/faults.h"
#include "xp/process_handles.h"
#include "xp/processes.h"

namespace xp::advapi32 {
namespace {

constexpr DWORD kOpenableRights = TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES | STANDARD_RIGHTS_READ;

// The process's record, with its account as the machine knows it; the calling process's follows XPMACHINE_USER.
std::optional<TokenSubject> SubjectOfProcess(uint32_t pid) {
  const std::optional<machine::ProcessRecord> record =
      pid == machine::CurrentProcessId() ? machine::CurrentProcess() : machine::FindProcess(pid);
  if (!record) return std::nullopt;
  const std::optional<machine::Account> account = machine::FindAccount(record->account);
  if (!account) return std::nullopt;
  return TokenSubject{pid, *account, record->privileges, std::nullopt};
}

// Lays out the information in `out`: the fixed part, then the SIDs its pointers point at.
struct Layout {
  std::vector<TokenGroup> entries;  // TokenUser: one, the user
  bool groups = false;

  DWORD Size() const {
    DWORD size = groups ? offsetof(TOKEN_GROUPS, Groups) : 0;
    size += static_cast<DWORD>(entries.size() * sizeof(SID_AND_ATTRIBUTES));
    for (const TokenGroup& entry : entries) size += entry.sid.Size();
    return size;
  }

  void WriteTo(BYTE* out) const {
    BYTE* array = out;
    if (groups) {
      const DWORD count = static_cast<DWORD>(entries.size());
      std::memcpy(out, &count, sizeof count);
      array = out + offsetof(TOKEN_GROUPS, Groups);
    }
    BYTE* sid = array + entries.size() * sizeof(SID_AND_ATTRIBUTES);
    for (size_t i = 0; i < entries.size(); ++i) {
      const SID_AND_ATTRIBUTES pair{sid, entries[i].attributes};
      std::memcpy(array + i * sizeof pair, &pair, sizeof pair);
      entries[i].sid.WriteTo(sid);
      sid += entries[i].sid.Size();
    }
  }
};

}  // namespace

std::optional<TokenSubject> ResolveToken(HANDLE token, DWORD required) {
  const auto object = std::dynamic_pointer_cast<TokenObject>(LookupHandle(token));
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  if ((object->access() & required) != required) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  std::optional<TokenSubject> subject;
  if (object->pid()) {
    subject = SubjectOfProcess(*object->pid());
  } else if (const std::optional<machine::Account> account = machine::FindAccount(object->account())) {
    subject = TokenSubject{0, *account, {}, object->logon_id()};
  }
  if (!subject) SetLastError(ERROR_NO_SUCH_USER);
  return subject;
}

// A process's session: the system's (0x3E7) for SYSTEM, else one per process of the machine.
LUID SessionOf(const TokenSubject& subject) {
  if (subject.logon_id) return *subject.logon_id;
  if (subject.account.kind == machine::AccountKind::kSystem) return LUID{0x3E7, 0};
  return LUID{0x10000 + subject.pid, 0};
}

}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" BOOL OpenProcessToken(HANDLE process, DWORD desired_access, HANDLE* token) {
  if ((desired_access & ~xp::advapi32::kOpenableRights) != 0) {
    xp::advapi32::Unimplemented("OpenProcessToken", "rights other than TOKEN_READ and TOKEN_ADJUST_PRIVILEGES");
    return FALSE;
  }
  if (token == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("OpenProcessToken")) {
    SetLastError(*error);
    return FALSE;
  }
  uint32_t pid = 0;
  if (const DWORD error = xp::ResolveProcessHandle(process, PROCESS_QUERY_INFORMATION, &pid); error != 0) {
    SetLastError(error);
    return FALSE;
  }
  if (!xp::advapi32::SubjectOfProcess(pid)) {
    SetLastError(ERROR_NO_SUCH_USER);
    return FALSE;
  }
  *token = xp::InsertHandle(std::make_shared<xp::advapi32::TokenObject>(pid, desired_access));
  return TRUE;
}

// Exported by advapi32.
extern "C" BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS information_class, LPVOID information,
                                    DWORD information_length, PDWORD return_length) {
  if (information_class != TokenUser && information_class != TokenGroups && information_class != TokenStatistics) {
    xp::advapi32::Unimplemented("GetTokenInformation", "classes other than TokenUser, TokenGroups, TokenStatistics");
    return FALSE;
  }
  if (return_length == nullptr) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("GetTokenInformation")) {
    SetLastError(*error);
    return FALSE;
  }
  const std::optional<xp::advapi32::TokenSubject> subject = xp::advapi32::ResolveToken(token, TOKEN_QUERY);
  if (!subject) return FALSE;
  if (information_class == TokenStatistics) {
    *return_length = sizeof(TOKEN_STATISTICS);
    if (information == nullptr || information_length < sizeof(TOKEN_STATISTICS)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    TOKEN_STATISTICS statistics{};
    statistics.TokenId = LUID{static_cast<DWORD>(reinterpret_cast<uintptr_t>(token)), 0};
    statistics.AuthenticationId = xp::advapi32::SessionOf(*subject);
    statistics.ExpirationTime = INT64_MAX;
    statistics.TokenType = TokenPrimary;
    statistics.GroupCount = static_cast<DWORD>(xp::advapi32::GroupsOfAccount(subject->account).size() +
                                               (subject->logon_id ? 1 : 0));
    statistics.ModifiedId = statistics.TokenId;
    std::memcpy(information, &statistics, sizeof statistics);
    return TRUE;
  }
  xp::advapi32::Layout layout;
  if (information_class == TokenUser) {
    layout.entries.push_back({xp::advapi32::SidOfAccount(subject->account), 0});
  } else {
    layout.entries = xp::advapi32::GroupsOfAccount(subject->account);
    if (subject->logon_id) {
      layout.entries.push_back({xp::advapi32::LogonSid(*subject->logon_id),
                                SE_GROUP_LOGON_ID | SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT |
                                    SE_GROUP_ENABLED});
    }
    layout.groups = true;
  }
  *return_length = layout.Size();
  if (information == nullptr || information_length < layout.Size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  layout.WriteTo(static_cast<BYTE*>(information));
  return TRUE;
}
