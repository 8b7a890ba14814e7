// Sleeping and the tick count, both on the machine's clock (virtual under test, so Sleep returns at once).
#include "kernel32_private.h"
#include "xp/machine.h"

// Exported by kernel32.
extern "C" void Sleep(DWORD milliseconds) { xp::machine::SleepMs(milliseconds); }

// Exported by kernel32. Milliseconds since the machine started, wrapping at 2^32 as on XP (49.7 days).
extern "C" DWORD GetTickCount(void) { return static_cast<DWORD>(xp::machine::NowMs()); }
