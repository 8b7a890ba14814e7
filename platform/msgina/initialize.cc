// The stand-in's life in Winlogon: version negotiation, the context WlxInitialize makes, and WlxShutdown, after which
// Winlogon calls nothing more.
#include "msgina_private.h"
#include "xp/machine.h"

// Exported by msgina. Winlogon 1.3 and later are answered with 1.3, the interface the stand-in speaks.
extern "C" BOOL WlxNegotiate(DWORD dwWinlogonVersion, PDWORD pdwDllVersion) {
  xp::machine::Journal("msgina WlxNegotiate");
  if (dwWinlogonVersion < WLX_VERSION_1_3 || pdwDllVersion == nullptr) return FALSE;
  *pdwDllVersion = WLX_VERSION_1_3;
  return TRUE;
}

// Exported by msgina. pWinlogonFunctions is Winlogon's 1.3 dispatch table.
extern "C" BOOL WlxInitialize(LPWSTR, HANDLE hWlx, PVOID, PVOID pWinlogonFunctions, PVOID* pWlxContext) {
  xp::machine::Journal("msgina WlxInitialize");
  if (pWinlogonFunctions == nullptr || pWlxContext == nullptr) return FALSE;
  xp::msgina::Context* context = xp::msgina::StartContext();
  context->wlx = hWlx;
  context->dispatch = static_cast<const WLX_DISPATCH_VERSION_1_3*>(pWinlogonFunctions);
  *pWlxContext = context;
  return TRUE;
}

// Exported by msgina. The context ends here.
extern "C" VOID WlxShutdown(PVOID pWlxContext, DWORD) {
  xp::msgina::ContextOf(pWlxContext, "WlxShutdown");
  xp::msgina::EndContext();
}
