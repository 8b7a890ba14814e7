// The machine's accounts: those of its description (account.N.* in machine.ini) and the three built-in service
// accounts, and which one the calling process runs as. Never included by system code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xp::machine {

enum class AccountKind { kUser, kSystem, kLocalService, kNetworkService };

struct Account {
  std::string name;  // as the machine spells it: "Administrator", "SYSTEM", "LOCAL SERVICE"
  AccountKind kind = AccountKind::kUser;
  bool administrator = false;  // a member of Administrators (SYSTEM is)
  // For kUser: the last part of the SID. Administrator 500, Guest 501, any other account.N 1000 + N.
  uint32_t rid = 0;
  // For kUser, from the description (account.N.full_name, .disabled, .must_change_password, .lan_challenge) and
  // what the machine learnt since (a changed password clears must_change_password):
  int number = 0;                     // N
  std::string full_name = "";         // none
  bool disabled = false;              // logons are refused
  bool must_change_password = false;  // a logon with the right password is refused until it is changed
  bool lan_challenge = false;         // the LAN agent challenges the workstation while a logon of it runs
};

// The account's password now: the description's, or the one it was last changed to.
std::string AccountPassword(const Account& account);
// Its earlier passwords, the latest first.
std::vector<std::string> PasswordHistory(const Account& account);
// The new password holds for every later logon; the old one joins the history, and the account no longer must
// change its password. Written whole or not at all.
void ChangeAccountPassword(const Account& account, const std::string& new_password);

// The accounts of the description, in their order, then SYSTEM, LOCAL SERVICE and NETWORK SERVICE.
std::vector<Account> Accounts();
// Names compare ignoring ASCII case, as Windows account names do.
std::optional<Account> FindAccount(std::string_view name);
// The account of the description with this RID.
std::optional<Account> FindAccountByRid(uint32_t rid);
// machine_id from the description: the three numbers between S-1-5-21 and the RID of every account's SID.
std::array<uint32_t, 3> MachineId();
// The account this process runs as: XPMACHINE_USER (read at every call, as the registry's HKEY_CURRENT_USER does),
// or "Administrator" when it is unset or empty; spelled as the machine spells it when it names one of its accounts.
std::string CurrentAccountName();

}  // namespace xp::machine
