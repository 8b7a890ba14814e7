// The logged-out state: no notice of its own (Winlogon waits for Ctrl+Alt+Del on its welcome screen), then the
// "Log On to Windows" dialog until the user name and password name an account of the machine or the user cancels.
#include <cstring>

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

// Each logon gets its own id, as the logon sessions of one boot do; the ids up to 0x3E7 are the system's own.
LUID NextLogonId(Context& context) { return LUID{0x3E7 + ++context.logons, 0}; }

}  // namespace
}  // namespace xp::msgina

// Exported by msgina. The stand-in shows nothing: Winlogon's own welcome screen waits for the keys.
extern "C" VOID WlxDisplaySASNotice(PVOID pWlxContext) { xp::msgina::ContextOf(pWlxContext, "WlxDisplaySASNotice"); }

// Exported by msgina. No logon token: the machine's processes run as an account named in the process table, and
// Winlogon learns the account from the network-provider notice, so *phToken stays NULL and the logon SID unset.
extern "C" int WlxLoggedOutSAS(PVOID pWlxContext, DWORD dwSasType, PLUID pAuthenticationId, PSID, PDWORD pdwOptions,
                               PHANDLE phToken, PWLX_MPR_NOTIFY_INFO pMprNotifyInfo, PVOID* pProfile) {
  using namespace xp::msgina;
  Context& context = ContextOf(pWlxContext, "WlxLoggedOutSAS");
  if (dwSasType != WLX_SAS_TYPE_CTRL_ALT_DEL) return WLX_SAS_ACTION_NONE;
  for (;;) {
    DialogTexts texts;
    if (ShowLogonDialog(context, &texts) != IDOK) return WLX_SAS_ACTION_NONE;
    DWORD error = 0;
    const std::optional<std::string> account = LogonUser(texts.user_name, texts.password, &error);
    if (!account) {
      ShowBox(context, kLogonFailed, "Logon Message", MB_OK | MB_ICONERROR);
      continue;
    }
    context.user = *account;
    *pAuthenticationId = NextLogonId(context);
    *pdwOptions = 0;
    *phToken = nullptr;
    *pProfile = nullptr;
    pMprNotifyInfo->pszUserName = CopyForWinlogon(*account);
    pMprNotifyInfo->pszDomain = CopyForWinlogon(xp::machine::Setting("computer_name").value_or(""));
    pMprNotifyInfo->pszPassword = CopyForWinlogon(texts.password);
    pMprNotifyInfo->pszOldPassword = nullptr;
    return WLX_SAS_ACTION_LOGON;
  }
}
