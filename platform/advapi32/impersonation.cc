// Impersonation: a thread acts as a logged-on account until it reverts; the registry's HKEY_CURRENT_USER follows.
#include <optional>

#include "advapi32_private.h"
#include "security_private.h"

namespace xp::advapi32 {
namespace {

thread_local std::optional<std::string> impersonated;

}  // namespace

std::string ThreadAccountName() { return impersonated ? *impersonated : registry::CurrentUser(); }

}  // namespace xp::advapi32

// Exported by advapi32.
extern "C" BOOL ImpersonateLoggedOnUser(HANDLE token) {
  const std::optional<xp::advapi32::TokenSubject> subject =
      xp::advapi32::ResolveToken(token, TOKEN_QUERY | TOKEN_IMPERSONATE);
  if (!subject) return FALSE;
  xp::advapi32::impersonated = subject->account.name;
  return TRUE;
}

// Exported by advapi32.
extern "C" BOOL RevertToSelf(void) {
  xp::advapi32::impersonated.reset();
  return TRUE;
}
