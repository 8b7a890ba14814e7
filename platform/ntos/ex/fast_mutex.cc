// Fast mutexes: real, non-recursive locks that raise to APC_LEVEL while held, as on XP.
#include <atomic>
#include <thread>

#include "include/internal/ke.h"

extern "C" {

// Exported by the kernel model.
void ExInitializeFastMutex(PFAST_MUTEX mutex) {
  mutex->Count = 1;
  mutex->Owner = nullptr;
  mutex->Contention = 0;
  KeInitializeEvent(&mutex->Event, SynchronizationEvent, FALSE);
}

BOOLEAN ExTryToAcquireFastMutex(PFAST_MUTEX mutex) {
  if (KeGetCurrentIrql() > APC_LEVEL) {
    xp::ntos::ke::BugCheck(xp::ntos::ke::kIrqlNotLessOrEqual, "fast mutex above APC_LEVEL");
  }
  LONG expected = 1;
  if (!std::atomic_ref<LONG>(mutex->Count).compare_exchange_strong(expected, 0, std::memory_order_acquire)) {
    return FALSE;
  }
  KIRQL old_irql;
  KeRaiseIrql(APC_LEVEL, &old_irql);
  mutex->OldIrql = old_irql;
  return TRUE;
}

void ExAcquireFastMutex(PFAST_MUTEX mutex) {
  while (!ExTryToAcquireFastMutex(mutex)) {
    std::atomic_ref<ULONG>(mutex->Contention).fetch_add(1);
    std::this_thread::yield();
  }
}

void ExReleaseFastMutex(PFAST_MUTEX mutex) {
  const KIRQL old_irql = static_cast<KIRQL>(mutex->OldIrql);
  if (std::atomic_ref<LONG>(mutex->Count).exchange(1, std::memory_order_release) != 0) {
    xp::ntos::ke::BugCheck(0x10, "release of a fast mutex that is not held");
  }
  KeLowerIrql(old_irql);
}

}  // extern "C"
