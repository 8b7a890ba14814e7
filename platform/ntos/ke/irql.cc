// Per-thread IRQL and previous mode, PAGED_CODE's check, the system clock and the bug check. IRQL is a
// bookkeeping value here: it makes "no paging and no waiting at DISPATCH_LEVEL" checkable.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "include/internal/kernel_state.h"
#include "include/internal/ke.h"

namespace xp::ntos::ke {
namespace {

thread_local KIRQL current_irql = PASSIVE_LEVEL;
thread_local KPROCESSOR_MODE previous_mode = KernelMode;

// 100 ns units between 1601-01-01 and 1970-01-01.
constexpr LONGLONG kUnixEpochIn1601 = 116444736000000000LL;

}  // namespace

KPROCESSOR_MODE PreviousMode() { return previous_mode; }

PreviousModeScope::PreviousModeScope(KPROCESSOR_MODE mode) : saved_(previous_mode) { previous_mode = mode; }
PreviousModeScope::~PreviousModeScope() { previous_mode = saved_; }

LONGLONG SystemTime() {
  const auto since_1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  LONGLONG delayed = 0;
  if (KernelState* state = StateIfAny()) delayed = state->delayed_time.load();
  return kUnixEpochIn1601 + since_1970.count() / 100 + delayed;
}

void BugCheck(ULONG code, const std::string& why) {
  std::fprintf(stderr, "*** STOP: 0x%08X (%s)\n", code, why.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace xp::ntos::ke

using namespace xp::ntos;

extern "C" {

// Exported by the kernel model.
KIRQL KeGetCurrentIrql(void) { return ke::current_irql; }

void KeRaiseIrql(KIRQL new_irql, PKIRQL old_irql) {
  if (new_irql < ke::current_irql) ke::BugCheck(ke::kIrqlNotLessOrEqual, "KeRaiseIrql to a lower level");
  *old_irql = ke::current_irql;
  ke::current_irql = new_irql;
}

void KeLowerIrql(KIRQL new_irql) {
  if (new_irql > ke::current_irql) ke::BugCheck(ke::kIrqlNotLessOrEqual, "KeLowerIrql to a higher level");
  ke::current_irql = new_irql;
}

void XpCheckPagedCode(const char* file, int line) {
  if (ke::current_irql > APC_LEVEL) {
    ke::BugCheck(ke::kIrqlNotLessOrEqual, std::string("pageable code at IRQL ") +
                                              std::to_string(ke::current_irql) + " in " + file + ":" +
                                              std::to_string(line));
  }
}

void KeQuerySystemTime(PLARGE_INTEGER current_time) { current_time->QuadPart = ke::SystemTime(); }

void KeEnterCriticalRegion(void) {}
void KeLeaveCriticalRegion(void) {}

void KeBugCheckEx(ULONG code, ULONG_PTR p1, ULONG_PTR p2, ULONG_PTR p3, ULONG_PTR p4) {
  char text[128];
  std::snprintf(text, sizeof text, "KeBugCheckEx %#lx %#lx %#lx %#lx", static_cast<unsigned long>(p1),
                static_cast<unsigned long>(p2), static_cast<unsigned long>(p3), static_cast<unsigned long>(p4));
  ke::BugCheck(code, text);
}

}  // extern "C"
