// The machine's accounts, read from its description, plus the built-in service accounts every XP machine has.
#include "xp/accounts.h"

#include <strings.h>

#include <cstdlib>
#include <sstream>

#include "machine_private.h"
#include "xp/machine.h"

namespace xp::machine {
namespace {

constexpr uint32_t kAdministratorRid = 500;
constexpr uint32_t kGuestRid = 501;
constexpr uint32_t kFirstOtherRid = 1000;

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

uint32_t RidOf(const std::string& name, int number) {
  if (SameName(name, "Administrator")) return kAdministratorRid;
  if (SameName(name, "Guest")) return kGuestRid;
  return kFirstOtherRid + static_cast<uint32_t>(number);
}

}  // namespace

std::vector<Account> Accounts() {
  std::vector<Account> accounts;
  for (int number = 1;; ++number) {
    const std::string prefix = "account." + std::to_string(number) + ".";
    const std::optional<std::string> name = Setting(prefix + "name");
    if (!name) break;
    Account account{*name, AccountKind::kUser, Setting(prefix + "administrator") == "yes", RidOf(*name, number)};
    account.number = number;
    account.full_name = Setting(prefix + "full_name").value_or("");
    account.disabled = Setting(prefix + "disabled") == "yes";
    account.must_change_password = AccountValue(number, "must_change_password") == "yes";
    account.lan_challenge = Setting(prefix + "lan_challenge") == "yes";
    accounts.push_back(std::move(account));
  }
  accounts.push_back(Account{"SYSTEM", AccountKind::kSystem, true, 0});
  accounts.push_back(Account{"LOCAL SERVICE", AccountKind::kLocalService, false, 0});
  accounts.push_back(Account{"NETWORK SERVICE", AccountKind::kNetworkService, false, 0});
  return accounts;
}

std::optional<Account> FindAccount(std::string_view name) {
  for (const Account& account : Accounts()) {
    if (SameName(account.name, name)) return account;
  }
  return std::nullopt;
}

std::optional<Account> FindAccountByRid(uint32_t rid) {
  for (const Account& account : Accounts()) {
    if (account.kind == AccountKind::kUser && account.rid == rid) return account;
  }
  return std::nullopt;
}

std::array<uint32_t, 3> MachineId() {
  const std::optional<std::string> text = Setting("machine_id");
  std::array<uint32_t, 3> id{};
  std::istringstream in(text.value_or(""));
  char dash1 = 0;
  char dash2 = 0;
  if (!(in >> id[0] >> dash1 >> id[1] >> dash2 >> id[2]) || dash1 != '-' || dash2 != '-') {
    Fatal("the machine description has no valid 'machine_id' (a-b-c)");
  }
  return id;
}

std::string CurrentAccountName() {
  const char* variable = std::getenv("XPMACHINE_USER");
  const std::string name = variable != nullptr && *variable != '\0' ? variable : "Administrator";
  const std::optional<Account> account = FindAccount(name);
  return account ? account->name : name;
}

}  // namespace xp::machine
