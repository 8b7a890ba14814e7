// The password program's state that its forms share: one instance, set and read on the one UI thread.
#pragma once

#include "windows.h"

namespace Common {
// True once the start form has asked the token whether a password is set; cleared when the start form is created
// and whenever its Continue finds no token.
extern bool ProbeDone;
// CheckTokenPassword of the empty text, as that probe found it.
extern int ProbeResult;
}  // namespace Common

namespace Utility {
// Whether the user's language was a Chinese one when the start form was created: the length rules and hints.
extern bool ChineseLocale;
}  // namespace Utility

namespace Register {
// The start record (cb 68, all else zero) and the process record of the started registration program.
extern STARTUPINFOA StartRecord;
extern PROCESS_INFORMATION ProcessRecord;
}  // namespace Register
