// Starting another program of the system and leaving it to run on its own.
#include "setupcore_private.h"

// Exported by setupcore. The program is started as the application name, with no command line, and not waited
// for.
bool launchAProcess(const char* program) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(program, nullptr, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return true;
}
