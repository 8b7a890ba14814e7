// Declarations shared by advapi32's security calls, grouped by the file that defines them. A process's token is
// its account in the machine's process table; the SIDs and privileges follow from the account.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "windows.h"
#include "xp/accounts.h"
#include "xp/handles.h"

namespace xp::advapi32 {

// sid.cc: a security identifier as a value, and the ones the machine's tokens hold.
struct SidValue {
  std::array<BYTE, 6> authority{};
  std::vector<DWORD> sub_authorities;

  bool operator==(const SidValue&) const = default;
  // The bytes of the SID structure: revision 1, the count, the authority, the sub-authorities.
  DWORD Size() const;
  void WriteTo(void* sid) const;
  // "S-1-5-32-544".
  std::string Text() const;
  // nullopt for a pointer that is not a valid SID.
  static std::optional<SidValue> Read(const void* sid);
};

SidValue EveryoneSid();
SidValue AdministratorsSid();
SidValue UsersSid();
SidValue SidOfAccount(const machine::Account& account);

struct TokenGroup {
  SidValue sid;
  DWORD attributes = 0;
};
// The groups of a token of `account`: Everyone, Administrators for an administrator (and SYSTEM), Users for the
// rest of the machine's accounts and the service accounts.
std::vector<TokenGroup> GroupsOfAccount(const machine::Account& account);

// token.cc: what a token HANDLE refers to: a process of the machine and the rights the handle holds.
class TokenObject : public KernelObject {
 public:
  TokenObject(uint32_t pid, DWORD access) : pid_(pid), access_(access) {}
  uint32_t pid() const { return pid_; }
  DWORD access() const { return access_; }

 private:
  const uint32_t pid_;
  const DWORD access_;
};

// The process and account behind a token handle holding every right in `required`; nullopt with the last error
// set (ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_NO_SUCH_USER for an account the machine does not have).
struct TokenSubject {
  uint32_t pid = 0;
  machine::Account account;
  std::vector<std::string> enabled_privileges;
};
std::optional<TokenSubject> ResolveToken(HANDLE token, DWORD required);

// privileges.cc: whether an account holds a privilege (may enable it). Only SeShutdownPrivilege is modelled: every
// account of the machine and SYSTEM hold it, as XP grants it to Users; the local and network service accounts don't.
bool AccountHolds(const machine::Account& account, const std::string& privilege);

}  // namespace xp::advapi32
