// Whether the calling process runs as a member of Administrators (S-1-5-32-544).
#include <cstdlib>

#include "setupcore_private.h"

// Exported by setupcore. Only a group the token can use counts: enabled, and not kept for deny checks only.
char userIsNTAdmin(void) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token)) return 1;
  DWORD size = 0;
  if (GetTokenInformation(token, TokenGroups, nullptr, 0, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    CloseHandle(token);
    return 2;
  }
  auto* groups = static_cast<TOKEN_GROUPS*>(std::malloc(size));
  if (groups == nullptr) {
    CloseHandle(token);
    return 3;
  }
  const BOOL queried = GetTokenInformation(token, TokenGroups, groups, size, &size);
  CloseHandle(token);
  if (!queried) {
    std::free(groups);
    return 4;
  }
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                0, &administrators)) {
    std::free(groups);
    return 5;
  }
  bool member = false;
  for (DWORD i = 0; i < groups->GroupCount && !member; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    const bool usable = (group.Attributes & SE_GROUP_ENABLED) && !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
    member = usable && EqualSid(group.Sid, administrators);
  }
  FreeSid(administrators);
  std::free(groups);
  return member ? 0 : 6;
}
