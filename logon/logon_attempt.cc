// One Windows logon with the account chosen on the token: LogonUserW while the LAN listener waits for a challenge,
// the refusals told as the system tells them, and the logon's session and logon SID for Winlogon.
#include <vector>

#include "logongate_private.h"

namespace tavik::logongate {
namespace {

constexpr DWORD kFirstGroupBuffer = 1024;
constexpr DWORD kLogonSidCapacity = 68;

std::string FailureText(DWORD error) {
  switch (error) {
    case ERROR_INVALID_PARAMETER:
      return "Logon failure: the parameter is incorrect.\r\nUser account & domain name can not be blank.";
    case ERROR_LOGON_FAILURE: return "Logon failure: unknown user name or bad password.";
    case ERROR_ACCOUNT_RESTRICTION:
      return "Logon failure: user account restriction.\r\nPossible reasons are blank passwords not allowed, logon "
             "hour restrictions,\r\nor a policy restriction has been enforced.";
    case ERROR_INVALID_LOGON_HOURS: return "Logon failure: account logon time restriction violation.";
    case ERROR_INVALID_WORKSTATION: return "Logon failure: user not allowed to log on to this computer.";
    case ERROR_PASSWORD_EXPIRED: return "Logon failure: the specified account password has expired.";
    case ERROR_ACCOUNT_DISABLED: return "Logon failure: account currently disabled.";
    case ERROR_ACCOUNT_EXPIRED: return "Logon failure: the user's account has expired.";
    default: return ("Logon failure: error code is " + std::to_string(error) + ".").substr(0, 79);
  }
}

void CloseUserToken(LogonState& state) {
  if (state.user_token != kNoToken) CloseHandle(state.user_token);
  state.user_token = kNoToken;
}

// The session and the logon SID of the user's token.
void Describe(HANDLE token, PSID logon_sid, PLUID logon_id) {
  TOKEN_STATISTICS statistics{};
  DWORD size = 0;
  if (GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &size)) {
    *logon_id = statistics.AuthenticationId;
  }
  std::vector<BYTE> groups(kFirstGroupBuffer);
  size = 0;
  while (!GetTokenInformation(token, TokenGroups, groups.data(), static_cast<DWORD>(groups.size()), &size)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= groups.size()) return;
    groups.resize(size);
  }
  const auto* list = reinterpret_cast<const TOKEN_GROUPS*>(groups.data());
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    if (list->Groups[i].Attributes >= SE_GROUP_LOGON_ID) {
      CopySid(kLogonSidCapacity, logon_sid, list->Groups[i].Sid);
      return;
    }
  }
}

}  // namespace

Attempt AttemptLogon(Account* account, PSID logon_sid, PLUID logon_id) {
  Module& module = TheModule();
  LogonState& state = *module.logon_state;
  module.password_change_required = false;
  StartLanListener();
  const std::u16string user = AccountNameOf(account->user);
  CloseUserToken(state);
  HANDLE token = nullptr;
  const BOOL logged_on = LogonUserW(user.c_str(), account->domain.c_str(), account->password.c_str(),
                                    LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_WINNT50, &token);
  const DWORD error = logged_on ? ERROR_SUCCESS : GetLastError();
  // Whatever the listener is doing, it ends now; what it did during the attempt counts.
  const bool challenge_answered = StopLanListener();
  if (logged_on) state.user_token = token;
  if (!logged_on && error == ERROR_PASSWORD_MUST_CHANGE) {
    module.password_change_required = true;
    return kAttemptNotAuthorized;
  }
  if (logged_on && !challenge_answered && !module.installed) {
    LogEvent(kTrace, "check = 0, so deny this logon\n");
    CloseUserToken(state);
    return kAttemptNotAuthorized;
  }
  if (!logged_on) {
    ShowBox(nullptr, FailureText(error), kCaption, MB_OK | MB_ICONWARNING);
    return kAttemptFailed;
  }
  if ((account->flags & kSaveAfterLogon) != 0) {
    if (!SaveMiniAccount(module.accounts)) ShowSaveFailure(nullptr);
    account->flags &= ~kSaveAfterLogon;
  }
  Describe(token, logon_sid, logon_id);
  return kAttemptLoggedOn;
}

}  // namespace tavik::logongate
