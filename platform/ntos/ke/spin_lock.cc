// Spin locks and in-stack queued spin locks: real locks (the kernel host serves several threads) that raise the
// IRQL to DISPATCH_LEVEL while held.
#include <atomic>
#include <thread>

#include "include/internal/ke.h"

namespace {

std::atomic_ref<KSPIN_LOCK> Word(PKSPIN_LOCK lock) { return std::atomic_ref<KSPIN_LOCK>(*lock); }

void Spin(PKSPIN_LOCK lock) {
  KSPIN_LOCK expected = 0;
  while (!Word(lock).compare_exchange_weak(expected, 1, std::memory_order_acquire)) {
    expected = 0;
    std::this_thread::yield();
  }
}

void Unspin(PKSPIN_LOCK lock) {
  if (Word(lock).exchange(0, std::memory_order_release) == 0) {
    xp::ntos::ke::BugCheck(0x10 /* SPIN_LOCK_NOT_OWNED */, "release of a spin lock that is not held");
  }
}

}  // namespace

extern "C" {

// Exported by the kernel model.
void KeInitializeSpinLock(PKSPIN_LOCK lock) { *lock = 0; }

void KeAcquireSpinLock(PKSPIN_LOCK lock, PKIRQL old_irql) {
  KeRaiseIrql(DISPATCH_LEVEL, old_irql);
  Spin(lock);
}

void KeReleaseSpinLock(PKSPIN_LOCK lock, KIRQL new_irql) {
  Unspin(lock);
  KeLowerIrql(new_irql);
}

void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK lock) {
  if (KeGetCurrentIrql() < DISPATCH_LEVEL) {
    xp::ntos::ke::BugCheck(xp::ntos::ke::kIrqlNotLessOrEqual, "KeAcquireSpinLockAtDpcLevel below DISPATCH_LEVEL");
  }
  Spin(lock);
}

void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK lock) { Unspin(lock); }

void KeAcquireInStackQueuedSpinLock(PKSPIN_LOCK lock, PKLOCK_QUEUE_HANDLE handle) {
  handle->LockQueue.Next = nullptr;
  handle->LockQueue.Lock = lock;
  KeAcquireSpinLock(lock, &handle->OldIrql);
}

void KeReleaseInStackQueuedSpinLock(PKLOCK_QUEUE_HANDLE handle) {
  KeReleaseSpinLock(handle->LockQueue.Lock, handle->OldIrql);
}

}  // extern "C"
