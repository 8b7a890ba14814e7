// What the uninstaller's rooms share: the start phase the driver's activation setting shows.
#pragma once

namespace tavik::diskunseal {

// Which of the uninstaller's two Windows starts is under way, read from the driver's "nostart" setting.
enum KernelStartState : int {
  kFirstStart = 0,       // automatic activation still on
  kSecondStart = 1,      // activation off, or its key already cleaned up by a run that got that far
  kNoDriverKey = 2,      // the key is gone, yet no run got to the clean-up: an error
  kUnreadableStart = 3,  // the key opens, "nostart" does not read: taken as a first start
  kUnknownStart = 4,     // "nostart" holds a value nobody writes: an error
};

KernelStartState ReadKernelStartState();

}  // namespace tavik::diskunseal
