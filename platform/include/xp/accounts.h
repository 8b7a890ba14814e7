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
};

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
