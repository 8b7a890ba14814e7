// The logged-out state: the notice before logon, then the token logon of the logon dialog, or, after a Key Answer,
// the system's own logon.
#include <cstring>

#include "logongate_private.h"

namespace tavik::logongate {
namespace {

// A string Winlogon frees with LocalFree.
PWSTR CopyForWinlogon(const std::u16string& text) {
  const size_t bytes = (text.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<PWSTR>(LocalAlloc(LPTR, bytes));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), bytes);
  return copy;
}

}  // namespace
}  // namespace tavik::logongate

// Exported by logongate. Never forwarded.
extern "C" VOID WlxDisplaySASNotice(PVOID) { tavik::logongate::ShowSasNotice(); }

// Exported by logongate.
extern "C" int WlxLoggedOutSAS(PVOID pWlxContext, DWORD dwSasType, PLUID pAuthenticationId, PSID pLogonSid,
                               PDWORD pdwOptions, PHANDLE phToken, PWLX_MPR_NOTIFY_INFO pMprNotifyInfo,
                               PVOID* pProfile) {
  using namespace tavik::logongate;
  Module& module = TheModule();
  LogonState& state = *module.logon_state;
  module.forward = false;
  *pProfile = nullptr;
  const int result = ShowLogonDialog(&state);
  if (result == WLX_SAS_ACTION_LOGON && module.forward) {
    return module.msgina.LoggedOutSAS(pWlxContext, dwSasType, pAuthenticationId, pLogonSid, pdwOptions, phToken,
                                      pMprNotifyInfo, pProfile);
  }
  if (result != WLX_SAS_ACTION_LOGON) return result == 0 || NothingChosen(result) ? WLX_SAS_ACTION_NONE : result;
  Account* account = state.current;
  Attempt attempt = account != nullptr ? AttemptLogon(account, pLogonSid, pAuthenticationId) : kAttemptFailed;
  while (attempt == kAttemptNotAuthorized && module.password_change_required) {
    StoreLastUser(account->user, account->domain);
    ShowBox(nullptr, "Please change your account password.", "Change Password", MB_OK | MB_ICONINFORMATION);
    if (ShowChangePassword(&state, nullptr) != 1) return WLX_SAS_ACTION_NONE;
    attempt = AttemptLogon(account, pLogonSid, pAuthenticationId);
  }
  if (attempt != kAttemptLoggedOn) {
    ShowMessageDialog(nullptr, attempt == kAttemptNotAuthorized
                                   ? "You are not authorized to use Tavik to login to this domain.\nPlease click on "
                                     "Default logon button."
                                   : "Unable to login. The User Name and Domain information entered may be "
                                     "incorrect. ");
    return WLX_SAS_ACTION_NONE;
  }
  if (state.save_required) {
    if (!SaveMiniAccount(module.accounts)) ShowSaveFailure(nullptr);
    state.save_required = 0;
  }
  *pdwOptions = 0;
  *phToken = state.user_token;
  StoreLastUser(account->user, account->domain);
  // The account Windows logged on, also when a full name was typed for it.
  pMprNotifyInfo->pszUserName = CopyForWinlogon(AccountNameOf(account->user));
  pMprNotifyInfo->pszDomain = CopyForWinlogon(account->domain);
  pMprNotifyInfo->pszPassword = CopyForWinlogon(account->password);
  pMprNotifyInfo->pszOldPassword = nullptr;
  return WLX_SAS_ACTION_LOGON;
}
