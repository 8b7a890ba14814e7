// The single-instance guard of the setup programs: a named mutex held for the life of the process.
#include "setupcore_private.h"

// Exported by setupcore. The handle is never closed: the mutex goes when the process does.
char mutexExists(const char* name) {
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
  if (mutex == nullptr) return 2;
  return GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0;
}
