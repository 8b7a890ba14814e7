// The user's profile and environment for a token: the hive of its account and the variables a logon gives it.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "userenv.h"
#include "xp/machine.h"
#include "xp/registry.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(userenv);

namespace xp::userenv {
namespace {

// The token's account as the machine spells it; nullopt with the last error set.
std::optional<std::string> AccountOf(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> user(size);
  if (!GetTokenInformation(token, TokenUser, user.data(), size, &size)) return std::nullopt;
  char name[256];
  char domain[256];
  DWORD name_size = sizeof name;
  DWORD domain_size = sizeof domain;
  SID_NAME_USE use;
  if (!LookupAccountSidA(nullptr, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, name, &name_size, domain,
                         &domain_size, &use)) {
    return std::nullopt;
  }
  return std::string(name);
}

}  // namespace
}  // namespace xp::userenv

// Exported by userenv.
extern "C" BOOL LoadUserProfileW(HANDLE token, LPPROFILEINFOW profile) {
  if (profile == nullptr || profile->dwSize != sizeof(PROFILEINFOW) || profile->lpUserName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((profile->dwFlags & ~PI_NOUI) != 0 || profile->lpProfilePath != nullptr) {
    XP_FIXME("LoadUserProfileW", "only PI_NOUI and local profiles are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  const std::optional<std::string> account = xp::userenv::AccountOf(token);
  if (!account) return FALSE;
  if (lstrcmpiW(profile->lpUserName, xp::registry::AnsiToUtf16(*account).c_str()) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A first logon makes the profile.
  xp::registry::KeyId made = 0;
  xp::registry::OpenUserHive(xp::registry::AnsiToUtf16(*account), &made);
  HKEY hive = nullptr;
  const LSTATUS status = RegOpenKeyExA(HKEY_USERS, account->c_str(), 0, KEY_ALL_ACCESS, &hive);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return FALSE;
  }
  profile->hProfile = hive;
  xp::machine::Journal("userenv LoadUserProfileW " + *account);
  return TRUE;
}

// Exported by userenv.
extern "C" BOOL UnloadUserProfile(HANDLE, HANDLE profile) {
  const LSTATUS status = RegCloseKey(static_cast<HKEY>(profile));
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return FALSE;
  }
  return TRUE;
}

// Exported by userenv. The variables a logon gives; `inherit` (the caller's own) adds nothing, since the machine's
// processes have no environment of their own.
extern "C" BOOL CreateEnvironmentBlock(LPVOID* environment, HANDLE token, BOOL) {
  if (environment == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::optional<std::string> account = xp::userenv::AccountOf(token);
  if (!account) return FALSE;
  const std::string computer = xp::machine::Setting("computer_name").value_or("");
  const std::string profile = "\\Documents and Settings\\" + *account;
  std::u16string block;
  for (const std::string& variable :
       {std::string("ALLUSERSPROFILE=C:\\Documents and Settings\\All Users"), "COMPUTERNAME=" + computer,
        std::string("HOMEDRIVE=C:"), "HOMEPATH=" + profile, std::string("SystemRoot=C:\\WINDOWS"),
        "USERDOMAIN=" + computer, "USERNAME=" + *account, "USERPROFILE=C:" + profile}) {
    block += xp::registry::AnsiToUtf16(variable);
    block += u'\0';
  }
  block += u'\0';
  auto* copy = new char16_t[block.size()];
  std::memcpy(copy, block.data(), block.size() * sizeof(char16_t));
  *environment = copy;
  return TRUE;
}

// Exported by userenv.
extern "C" BOOL DestroyEnvironmentBlock(LPVOID environment) {
  delete[] static_cast<char16_t*>(environment);
  return TRUE;
}
