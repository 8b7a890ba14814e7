// A DLL for the loader tests whose entry refuses DLL_PROCESS_ATTACH; logs its entry calls like probe_dll.cc.
#include <cstdlib>
#include <fstream>

#include "windows.h"
#include "xp/loader.h"

namespace {

BOOL FailingMain(HINSTANCE, DWORD reason, LPVOID) {
  static const char* const kReasons[] = {"process_detach", "process_attach", "thread_attach", "thread_detach"};
  if (const char* log = std::getenv("XPK32_PROBE_LOG")) {
    std::ofstream(log, std::ios::app) << "failing " << kReasons[reason] << "\n";
  }
  return reason != DLL_PROCESS_ATTACH;
}

}  // namespace

XP_DLL_ENTRY(FailingMain);

extern "C" [[gnu::visibility("default")]] int FailingAnswer() { return 7; }
