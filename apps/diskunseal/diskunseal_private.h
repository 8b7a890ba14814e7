// What the uninstaller's rooms share: the start phase the driver's activation setting shows, the fixed names and
// captions, the message dialog, and the checks and steps of its two starts.
#pragma once

#include <string>

#include "conversion.h"

class CWnd;

namespace tavik::diskunseal {

using conversion::Box;
using conversion::kCaption;
inline constexpr char kProgram[] = "C:\\Program Files\\Quillmarsh\\Tavik\\XP\\diskunseal.exe";
inline constexpr char kUninstallCaption[] = "Quillmarsh Tavik Uninstallation";

// Which of the uninstaller's two Windows starts is under way, read from the driver's "nostart" setting.
enum KernelStartState : int {
  kFirstStart = 0,       // automatic activation still on
  kSecondStart = 1,      // activation off, or its key already cleaned up by a run that got that far
  kNoDriverKey = 2,      // the key is gone, yet no run got to the clean-up: an error
  kUnreadableStart = 3,  // the key opens, "nostart" does not read: taken as a first start
  kUnknownStart = 4,     // "nostart" holds a value nobody writes: an error
};

KernelStartState ReadKernelStartState();

// ---- start/first_start.cc: the first start's two questions and the preparation for the second; ends the process.
void PrepareSecondStart();

// ---- start/driver_guard.cc
// Puts the system's own logon back, says so and asks for the restart that unloads the driver; ends the process.
void RefuseWhileDriverActive();

}  // namespace tavik::diskunseal
