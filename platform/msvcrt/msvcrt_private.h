// Shared inside the C run time: which paths go to the machine's drives, and the errno a failed Win32 call gives.
#pragma once

#include <cstdio>
#include <string>

#include "windows.h"

namespace xp::msvcrt {

// A Windows path ("C:..." or anything with a backslash) goes to the machine's drives; any other path is the
// host's, for host code in the same process.
bool IsWindowsPath(const char* path);

// Sets errno as the Windows run time maps the calling thread's last Win32 error.
void SetErrnoFromLastError();

// text_stream.cc: a stream over a file of the machine's drives, in MSVCRT's text or binary mode.
FILE* OpenWindowsStream(const char* path, const char* mode);

}  // namespace xp::msvcrt
