// The logged-out state: no notice of its own (Winlogon waits for Ctrl+Alt+Del on its welcome screen), then the
// "Log On to Windows" dialog until the user name and password name an account of the machine or the user cancels.
#include <cstring>
#include <vector>

#include "msgina_private.h"
#include "xp/machine.h"
#include "xp/registry.h"

namespace xp::msgina {
namespace {

constexpr char kLogonFailed[] =
    "The system could not log you on. Make sure your User name is correct, then type your password again. Letters "
    "in passwords must be typed using the correct case.";

// A string Winlogon frees with LocalFree.
PWSTR CopyForWinlogon(const std::string& text) {
  const std::u16string wide = registry::AnsiToUtf16(text);
  auto* copy = static_cast<PWSTR>(LocalAlloc(LPTR, (wide.size() + 1) * sizeof(WCHAR)));
  if (copy != nullptr) std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  return copy;
}

// Winlogon's buffer for the logon SID holds this much, as on XP.
constexpr DWORD kLogonSidCapacity = 68;

LUID SessionOf(HANDLE token) {
  TOKEN_STATISTICS statistics{};
  DWORD size = 0;
  GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &size);
  return statistics.AuthenticationId;
}

// The token's group that marks its logon session.
void CopyLogonSid(HANDLE token, PSID logon_sid) {
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return;
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    if ((groups->Groups[i].Attributes & SE_GROUP_LOGON_ID) == SE_GROUP_LOGON_ID) {
      CopySid(kLogonSidCapacity, logon_sid, groups->Groups[i].Sid);
    }
  }
}

}  // namespace
}  // namespace xp::msgina

// Exported by msgina. The stand-in shows nothing: Winlogon's own welcome screen waits for the keys.
extern "C" VOID WlxDisplaySASNotice(PVOID pWlxContext) { xp::msgina::ContextOf(pWlxContext, "WlxDisplaySASNotice"); }

// Exported by msgina. Ctrl+Alt+Del, or the secure-attention event of a GINA chained in front (256: a logon begun in
// that GINA, which hands it on), shows the logon dialog; the logon's token, session and logon SID go to Winlogon.
extern "C" int WlxLoggedOutSAS(PVOID pWlxContext, DWORD dwSasType, PLUID pAuthenticationId, PSID pLogonSid,
                               PDWORD pdwOptions, PHANDLE phToken, PWLX_MPR_NOTIFY_INFO pMprNotifyInfo,
                               PVOID* pProfile) {
  using namespace xp::msgina;
  Context& context = ContextOf(pWlxContext, "WlxLoggedOutSAS");
  if (dwSasType != WLX_SAS_TYPE_CTRL_ALT_DEL && dwSasType <= WLX_SAS_TYPE_MAX_MSFT_VALUE) return WLX_SAS_ACTION_NONE;
  for (;;) {
    DialogTexts texts;
    if (ShowLogonDialog(context, &texts) != IDOK) return WLX_SAS_ACTION_NONE;
    DWORD error = 0;
    HANDLE token = nullptr;
    const std::optional<std::string> account = LogonUser(texts.user_name, texts.password, &token, &error);
    if (!account) {
      ShowBox(context, kLogonFailed, "Logon Message", MB_OK | MB_ICONERROR);
      continue;
    }
    context.user = *account;
    *pAuthenticationId = SessionOf(token);
    CopyLogonSid(token, pLogonSid);
    *pdwOptions = 0;
    *phToken = token;
    *pProfile = nullptr;
    pMprNotifyInfo->pszUserName = CopyForWinlogon(*account);
    pMprNotifyInfo->pszDomain = CopyForWinlogon(xp::machine::Setting("computer_name").value_or(""));
    pMprNotifyInfo->pszPassword = CopyForWinlogon(texts.password);
    pMprNotifyInfo->pszOldPassword = nullptr;
    return WLX_SAS_ACTION_LOGON;
  }
}
