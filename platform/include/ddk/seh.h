// Structured exception handling for kernel code built without C++ exceptions: ExRaiseStatus (raised by the
// probes and user-memory checks) jumps to the innermost XP_TRY of the thread, whose XP_EXCEPT block then runs
// with the raised status. Write
//   XP_TRY { ProbeForRead(p, n, 1); ... } XP_EXCEPT(status) { return status; } XP_END_TRY
// Locals changed inside the XP_TRY block and read in XP_EXCEPT must be volatile (they live across a longjmp).
// A raise with no XP_TRY on the thread stops the machine (KMODE_EXCEPTION_NOT_HANDLED), as on XP.
#pragma once

#include <csetjmp>

#include "ntdef.h"

extern "C" {

typedef struct _XP_SEH_FRAME {
  jmp_buf Jump;
  NTSTATUS Code;
  struct _XP_SEH_FRAME* Previous;
  BOOLEAN Active;
} XP_SEH_FRAME, *PXP_SEH_FRAME;

void XpSehPush(PXP_SEH_FRAME frame);
void XpSehPop(PXP_SEH_FRAME frame);
[[noreturn]] void ExRaiseStatus(NTSTATUS status);

}  // extern "C"

// Pops the frame when the protected block is left by return or break.
struct XpSehGuard {
  XP_SEH_FRAME frame{};
  ~XpSehGuard() {
    if (frame.Active) XpSehPop(&frame);
  }
};

#define XP_TRY                                  \
  {                                             \
    XpSehGuard xp_seh_guard;                    \
    if (setjmp(xp_seh_guard.frame.Jump) == 0) { \
      XpSehPush(&xp_seh_guard.frame);

#define XP_EXCEPT(status_variable)     \
  XpSehPop(&xp_seh_guard.frame);       \
  }                                    \
  else {                               \
    const NTSTATUS status_variable = xp_seh_guard.frame.Code;

#define XP_END_TRY \
  }                \
  }
