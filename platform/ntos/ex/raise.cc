// ExRaiseStatus and the per-thread chain of XP_TRY frames (seh.h) that stands in for structured exception
// handling in kernel code built without C++ exceptions.
#include <csetjmp>
#include <cstdio>

#include "include/internal/ke.h"

namespace {

thread_local PXP_SEH_FRAME innermost_frame = nullptr;

}  // namespace

extern "C" {

// Exported by the kernel model.
void XpSehPush(PXP_SEH_FRAME frame) {
  frame->Previous = innermost_frame;
  frame->Active = TRUE;
  innermost_frame = frame;
}

void XpSehPop(PXP_SEH_FRAME frame) {
  if (!frame->Active) return;
  if (innermost_frame != frame) xp::ntos::ke::BugCheck(xp::ntos::ke::kKmodeExceptionNotHandled, "XP_TRY frames out of order");
  innermost_frame = frame->Previous;
  frame->Active = FALSE;
}

void ExRaiseStatus(NTSTATUS status) {
  PXP_SEH_FRAME frame = innermost_frame;
  if (frame == nullptr) {
    char text[64];
    std::snprintf(text, sizeof text, "unhandled exception %08X", static_cast<unsigned>(status));
    xp::ntos::ke::BugCheck(xp::ntos::ke::kKmodeExceptionNotHandled, text);
  }
  innermost_frame = frame->Previous;
  frame->Active = FALSE;
  frame->Code = status;
  longjmp(frame->Jump, 1);
}

}  // extern "C"
