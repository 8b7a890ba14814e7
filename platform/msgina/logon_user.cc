// The check LogonUserW makes for an interactive logon: the user name names one of the machine's accounts (ignoring
// case) and the password is that account's (exactly). The built-in service accounts cannot log on.
#include <strings.h>

#include "msgina_private.h"
#include "xp/machine.h"

namespace xp::msgina {

std::optional<std::string> LogonUser(const std::string& name, const std::string& password, DWORD* error) {
  for (int number = 1;; ++number) {
    const std::string prefix = "account." + std::to_string(number) + ".";
    const std::optional<std::string> account = machine::Setting(prefix + "name");
    if (!account) break;
    if (::strcasecmp(account->c_str(), name.c_str()) != 0) continue;
    if (machine::Setting(prefix + "password").value_or("") == password) return account;
    break;
  }
  *error = ERROR_LOGON_FAILURE;
  return std::nullopt;
}

}  // namespace xp::msgina
