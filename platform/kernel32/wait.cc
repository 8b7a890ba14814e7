// WaitForSingleObject on the waitable objects kernel32 hands out: named mutexes, threads, and processes with their
// first threads. Time-outs run on real time, also under the virtual clock: the other party is a real thread or
// process.
#include <memory>

#include "kernel32_private.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

// Exported by kernel32.
extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  const std::shared_ptr<xp::KernelObject> object = xp::LookupHandle(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  auto* waitable = dynamic_cast<xp::kernel32::Waitable*>(object.get());
  if (waitable == nullptr) {
    XP_FIXME("WaitForSingleObject", "waiting on this kind of object is not implemented");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return WAIT_FAILED;
  }
  return waitable->Wait(milliseconds);
}
