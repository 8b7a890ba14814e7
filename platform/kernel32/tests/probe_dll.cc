// A DLL for the loader tests: appends each entry call ("<reason> <thread id>") to the file that XPK32_PROBE_LOG
// names, and exports one function, the module handle its entry was given and a message table of one text.
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "windows.h"
#include "xp/loader.h"
#include "xp/message_table.h"

namespace {

HINSTANCE entry_module = nullptr;

BOOL ProbeMain(HINSTANCE module, DWORD reason, LPVOID) {
  static const char* const kReasons[] = {"process_detach", "process_attach", "thread_attach", "thread_detach"};
  entry_module = module;
  if (const char* log = std::getenv("XPK32_PROBE_LOG")) {
    std::ofstream(log, std::ios::app) << "probe " << kReasons[reason] << " " << ::syscall(SYS_gettid) << "\n";
  }
  return TRUE;
}

}  // namespace

XP_DLL_ENTRY(ProbeMain);

extern "C" [[gnu::visibility("default")]] int ProbeAnswer() { return 42; }
extern "C" [[gnu::visibility("default")]] HINSTANCE ProbeModule() { return entry_module; }

extern "C" [[gnu::visibility("default")]] const xp::MessageTableEntry xp_message_table[] = {
    {12345, "The probe's own message.\r\n"},
    {0, nullptr},
};
