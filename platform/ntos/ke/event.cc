// Kernel events and waits. Every request runs in its caller's thread; a wait blocks until another thread sets
// the event. Delays advance the kernel's clock at once, so tests never sleep.
#include <condition_variable>
#include <mutex>

#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"

namespace {

// KEVENT is a plain structure the driver owns, so its waiters share one lock and condition, like XP's dispatcher
// lock.
std::mutex dispatcher_lock;
std::condition_variable dispatcher_signal;

void RequireWaitableLevel(PLARGE_INTEGER timeout) {
  const bool zero_timeout = timeout != nullptr && timeout->QuadPart == 0;
  if (KeGetCurrentIrql() > APC_LEVEL && !zero_timeout) {
    xp::ntos::ke::BugCheck(xp::ntos::ke::kIrqlNotLessOrEqual, "wait at DISPATCH_LEVEL");
  }
}

}  // namespace

extern "C" {

// Exported by the kernel model.
void KeInitializeEvent(PRKEVENT event, EVENT_TYPE type, BOOLEAN state) {
  event->Header.Type = static_cast<UCHAR>(type);
  event->Header.Size = sizeof(KEVENT) / sizeof(LONG);
  event->Header.SignalState = state ? 1 : 0;
  InitializeListHead(&event->Header.WaitListHead);
}

LONG KeSetEvent(PRKEVENT event, KPRIORITY, BOOLEAN) {
  std::lock_guard<std::mutex> guard(dispatcher_lock);
  const LONG previous = event->Header.SignalState;
  event->Header.SignalState = 1;
  dispatcher_signal.notify_all();
  return previous;
}

void KeClearEvent(PRKEVENT event) {
  std::lock_guard<std::mutex> guard(dispatcher_lock);
  event->Header.SignalState = 0;
}

LONG KeResetEvent(PRKEVENT event) {
  std::lock_guard<std::mutex> guard(dispatcher_lock);
  const LONG previous = event->Header.SignalState;
  event->Header.SignalState = 0;
  return previous;
}

LONG KeReadStateEvent(PRKEVENT event) {
  std::lock_guard<std::mutex> guard(dispatcher_lock);
  return event->Header.SignalState;
}

NTSTATUS KeWaitForSingleObject(PVOID object, KWAIT_REASON, KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER timeout) {
  RequireWaitableLevel(timeout);
  auto* event = static_cast<PRKEVENT>(object);
  std::unique_lock<std::mutex> guard(dispatcher_lock);
  if (event->Header.SignalState == 0) {
    if (timeout != nullptr) {
      // No other thread of the model runs on its own, so a timed wait that is not satisfied now times out at
      // once; the clock moves on by the relative interval.
      if (timeout->QuadPart < 0) {
        if (xp::ntos::KernelState* state = xp::ntos::StateIfAny()) state->delayed_time += -timeout->QuadPart;
      }
      return STATUS_TIMEOUT;
    }
    dispatcher_signal.wait(guard, [event] { return event->Header.SignalState != 0; });
  }
  if (event->Header.Type == SynchronizationEvent) event->Header.SignalState = 0;
  return STATUS_SUCCESS;
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, BOOLEAN, PLARGE_INTEGER interval) {
  RequireWaitableLevel(nullptr);
  // Relative intervals are negative; an absolute time in the past or now does not wait.
  const LONGLONG now = xp::ntos::ke::SystemTime();
  const LONGLONG advance = interval->QuadPart < 0 ? -interval->QuadPart : interval->QuadPart - now;
  if (advance > 0) {
    if (xp::ntos::KernelState* state = xp::ntos::StateIfAny()) state->delayed_time += advance;
  }
  return STATUS_SUCCESS;
}

}  // extern "C"
