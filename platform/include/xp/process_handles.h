// Process handles across the stand-ins: psapi and advapi32 reach the machine process behind a HANDLE that kernel32
// gave out. Never included by system code.
#pragma once

#include <cstdint>

#include "windef.h"

namespace xp {

// kernel32: the machine pid behind a process handle (or GetCurrentProcess()'s pseudo handle, which holds every
// right). Returns 0, or ERROR_INVALID_HANDLE for a handle that is no process, ERROR_ACCESS_DENIED when the handle
// lacks one of the rights in `required_access`.
DWORD ResolveProcessHandle(HANDLE process, DWORD required_access, uint32_t* pid);

}  // namespace xp
