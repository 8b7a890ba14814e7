// The assignment forms' length rules of password_rules.h.
#include "password_rules.h"

#include "forms.h"
#include "program_state.h"

std::optional<Refusal> AssignmentLengthRefusal(const std::u16string& password) {
  if (password.size() < 6) {
    return Refusal{u"The password you typed is less than 6 characters.  Type a password with at least 6 characters.",
                   MB_OK | MB_ICONINFORMATION};
  }
  if (password.size() >= 64) return Refusal{kMoreThan63, MB_OK | MB_ICONINFORMATION};
  // 63 characters of a double-byte code page can take up to 126 bytes, which the token cannot hold.
  if (AnsiOf(password).size() > kPasswordBlockBytes) {
    return Refusal{Utility::ChineseLocale ? kChineseTooLong : kMoreThan63, MB_OK | MB_ICONINFORMATION};
  }
  return std::nullopt;
}
