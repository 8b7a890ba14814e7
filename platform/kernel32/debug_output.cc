// OutputDebugStringA: what a debugger would show, kept in the machine's journal.
#include <string>

#include "kernel32_private.h"
#include "xp/machine.h"

// Exported by kernel32.
extern "C" void OutputDebugStringA(LPCSTR text) {
  if (text != nullptr) xp::machine::Journal(std::string("debug ") + text);
}
