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
// S-1-5-5-<high>-<low>: the SID of one logon session.
SidValue LogonSid(LUID logon_id);
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

// token.cc: what a token HANDLE refers to, and the rights the handle holds: a process of the machine
// (OpenProcessToken), or a logon session of an account (LogonUserW).
class TokenObject : public KernelObject {
 public:
  TokenObject(uint32_t pid, DWORD access) : pid_(pid), access_(access) {}
  TokenObject(std::string account, LUID logon_id, DWORD access)
      : account_(std::move(account)), logon_id_(logon_id), access_(access) {}
  std::optional<uint32_t> pid() const { return pid_; }
  const std::string& account() const { return account_; }
  std::optional<LUID> logon_id() const { return logon_id_; }
  DWORD access() const { return access_; }

 private:
  const std::optional<uint32_t> pid_;
  const std::string account_;
  const std::optional<LUID> logon_id_;
  const DWORD access_;
};

// The process or logon and account behind a token handle holding every right in `required`; nullopt with the last
// error set (ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_NO_SUCH_USER for an account the machine does not
// have).
struct TokenSubject {
  uint32_t pid = 0;  // 0 for a logon's token
  machine::Account account;
  std::vector<std::string> enabled_privileges;
  std::optional<LUID> logon_id;  // a logon's token
};
std::optional<TokenSubject> ResolveToken(HANDLE token, DWORD required);

// logon_user.cc: the logon session ids, unique on the machine (above the system's own, 0x3E7 and below).
LUID NewLogonId();

// impersonation.cc: the account the calling thread acts as: the one it impersonates, else the process's
// (xp::registry::CurrentUser).
std::string ThreadAccountName();

// privileges.cc: whether an account holds a privilege (may enable it). Only SeShutdownPrivilege is modelled: every
// account of the machine and SYSTEM hold it, as XP grants it to Users; the local and network service accounts don't.
bool AccountHolds(const machine::Account& account, const std::string& privilege);

}  // namespace xp::advapi32
