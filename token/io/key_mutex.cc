// "KeyMutex": the machine-wide lock that keeps one process's register sequence from interleaving with another's.
#include "tokenio_private.h"

namespace tavik::tokenio {

// Each acquisition takes its own handle; only an acquired wait (or an abandoned owner's mutex) counts as held,
// so a failed wait never runs the sequence unlocked or releases a mutex it does not own.
KeyMutexLock::KeyMutexLock() {
  HANDLE handle = CreateMutexA(nullptr, TRUE, "KeyMutex");
  if (handle == nullptr) return;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    const DWORD wait = WaitForSingleObject(handle, INFINITE);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
      CloseHandle(handle);
      return;
    }
  }
  handle_ = handle;
}

KeyMutexLock::~KeyMutexLock() {
  if (handle_ == nullptr) return;
  ReleaseMutex(handle_);
  CloseHandle(handle_);
}

}  // namespace tavik::tokenio
