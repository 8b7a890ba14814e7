// Version negotiation and the binding of the system's own MSGINA.DLL, to which the component forwards every entry
// it does not handle itself.
#include "logongate_private.h"

namespace tavik::logongate {
namespace {

template <typename Entry>
bool Bind(HMODULE module, const char* name, Entry* entry) {
  *entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *entry != nullptr;
}

bool BindMsgina(Msgina& msgina) {
  const HMODULE module = LoadLibraryA("MSGINA.DLL");
  if (module == nullptr) return false;
  const bool bound =
      Bind(module, "WlxNegotiate", &msgina.Negotiate) && Bind(module, "WlxInitialize", &msgina.Initialize) &&
      Bind(module, "WlxDisplaySASNotice", &msgina.DisplaySASNotice) &&
      Bind(module, "WlxLoggedOutSAS", &msgina.LoggedOutSAS) &&
      Bind(module, "WlxActivateUserShell", &msgina.ActivateUserShell) &&
      Bind(module, "WlxLoggedOnSAS", &msgina.LoggedOnSAS) &&
      Bind(module, "WlxDisplayLockedNotice", &msgina.DisplayLockedNotice) &&
      Bind(module, "WlxIsLockOk", &msgina.IsLockOk) && Bind(module, "WlxWkstaLockedSAS", &msgina.WkstaLockedSAS) &&
      Bind(module, "WlxIsLogoffOk", &msgina.IsLogoffOk) && Bind(module, "WlxLogoff", &msgina.Logoff) &&
      Bind(module, "WlxShutdown", &msgina.Shutdown);
  if (!bound) return false;
  Bind(module, "WlxStartApplication", &msgina.StartApplication);
  Bind(module, "WlxScreenSaverNotify", &msgina.ScreenSaverNotify);
  return true;
}

}  // namespace
}  // namespace tavik::logongate

// Exported by logongate. Winlogon 1.3 and later are answered with 1.3.
extern "C" BOOL WlxNegotiate(DWORD dwWinlogonVersion, PDWORD pdwDllVersion) {
  using namespace tavik::logongate;
  if (dwWinlogonVersion < WLX_VERSION_1_3) {
    LogEvent(kError, "Unknown version: %d\n", static_cast<int>(dwWinlogonVersion));
    return FALSE;
  }
  if (!BindMsgina(TheModule().msgina)) return FALSE;
  *pdwDllVersion = WLX_VERSION_1_3;
  LogEvent(kTrace, "Negotiate:  successful!\n");
  return TRUE;
}
