// Kernel-core internals: the per-thread IRQL and previous mode, the virtual clock, and the bug check.
#pragma once

#include <string>

#include "ddk/wdm.h"

namespace xp::ntos::ke {

// Bug-check codes the model raises.
constexpr ULONG kIrqlNotLessOrEqual = 0x0A;
constexpr ULONG kKmodeExceptionNotHandled = 0x1E;
constexpr ULONG kNoMoreIrpStackLocations = 0x35;
constexpr ULONG kMultipleIrpCompleteRequests = 0x44;
constexpr ULONG kBadPoolCaller = 0xC2;
constexpr ULONG kInvalidObject = 0xE0;  // a pointer that names no object of the model

KPROCESSOR_MODE PreviousMode();
// Sets the previous mode for the scope: Nt calls run as UserMode, Zw calls as KernelMode.
class PreviousModeScope {
 public:
  explicit PreviousModeScope(KPROCESSOR_MODE mode);
  ~PreviousModeScope();

 private:
  KPROCESSOR_MODE saved_;
};

// System time in 100 ns units since 1601: the host clock plus every delay the kernel has run.
LONGLONG SystemTime();

[[noreturn]] void BugCheck(ULONG code, const std::string& why);

}  // namespace xp::ntos::ke
