// CreateMutexA and ReleaseMutex over the machine-wide named mutexes of named_mutex.h.
#include <memory>

#include "named_mutex.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

// Exported by kernel32. The system creates only named mutexes with default security.
extern "C" HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCSTR name) {
  if (attributes != nullptr || name == nullptr || *name == '\0') {
    XP_FIXME("CreateMutexA", "only named mutexes with default security are implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  const xp::kernel32::OpenedMutex opened = xp::kernel32::OpenNamedMutex(name, initial_owner != FALSE);
  if (!opened.handle) {
    SetLastError(opened.error);
    return nullptr;
  }
  const HANDLE handle = xp::InsertHandle(opened.handle);
  SetLastError(opened.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// Exported by kernel32.
extern "C" BOOL ReleaseMutex(HANDLE handle) {
  const auto mutex = std::dynamic_pointer_cast<xp::kernel32::MutexHandle>(xp::LookupHandle(handle));
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mutex->mutex().Release()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
