// The component's entry point: at process attach it keeps its module handle and reads the debug settings.
#include "logongate_private.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  using namespace tavik::logongate;
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    TheModule().instance = instance;
    ReadDebugSettings();
    LogEvent(kTrace, "Log file '%s' begins\n", "logongate");
  }
  return TRUE;
}
