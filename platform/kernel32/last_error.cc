// The calling thread's last-error code.
#include "kernel32_private.h"

namespace {

thread_local DWORD last_error = 0;

}  // namespace

// Exported by kernel32.
extern "C" DWORD GetLastError(void) { return last_error; }

// Exported by kernel32.
extern "C" void SetLastError(DWORD code) { last_error = code; }
