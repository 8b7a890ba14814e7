// Common controls as the system uses them: the progress bar of the long-running dialogs.
#pragma once

#include "windef.h"
#include "winuser.h"

extern "C" {

#define PROGRESS_CLASSA "msctls_progress32"

// The range starts 0..100 and the step at 10. PBM_SETRANGE takes two unsigned 16-bit values (LOWORD minimum,
// HIWORD maximum) and returns the earlier pair; PBM_SETRANGE32 takes 32-bit values. A position is kept inside the
// range; PBM_STEPIT past the maximum starts again from the minimum.
#define PBM_SETRANGE (WM_USER + 1)
#define PBM_SETPOS (WM_USER + 2)
#define PBM_DELTAPOS (WM_USER + 3)
#define PBM_SETSTEP (WM_USER + 4)
#define PBM_STEPIT (WM_USER + 5)
#define PBM_SETRANGE32 (WM_USER + 6)
#define PBM_GETRANGE (WM_USER + 7)
#define PBM_GETPOS (WM_USER + 8)

typedef struct {
  int iLow;
  int iHigh;
} PBRANGE, *PPBRANGE;

// Registers the common control classes; they are always there, so this has nothing to do.
void InitCommonControls(void);

}  // extern "C"
