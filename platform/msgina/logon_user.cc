// The system's own check of a typed user name and password: LogonUserW for an interactive logon on this computer,
// which gives the logon's token.
#include "msgina_private.h"
#include "xp/accounts.h"
#include "xp/registry.h"

namespace xp::msgina {

std::optional<std::string> LogonUser(const std::string& name, const std::string& password, HANDLE* token,
                                     DWORD* error) {
  HANDLE logon = nullptr;
  const std::u16string wide_name = registry::AnsiToUtf16(name);
  const std::u16string wide_password = registry::AnsiToUtf16(password);
  if (!LogonUserW(wide_name.c_str(), u".", wide_password.c_str(), LOGON32_LOGON_INTERACTIVE,
                  LOGON32_PROVIDER_DEFAULT, &logon)) {
    *error = GetLastError();
    return std::nullopt;
  }
  if (token != nullptr) {
    *token = logon;
  } else {
    CloseHandle(logon);
  }
  return machine::FindAccount(name)->name;
}

}  // namespace xp::msgina
