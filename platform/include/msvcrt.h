// The C run-time names the system calls that the Windows run time has and glibc lacks (link xp::msvcrt). With
// that library, fopen, rename and remove on Windows paths ("C:\...") reach the machine's drives, in text mode
// translating "\n" to "\r\n" on write and back on read as the Windows run time does; other paths stay the host's.
#pragma once

#include <cstddef>

extern "C" {

// 0 when the path exists and allows `mode` (0 exists, 2 write, 4 read, 6 both), else -1 with errno.
int _access(const char* path, int mode);
int _unlink(const char* path);
// ASCII letters compare equal in either case; the result orders the lower-cased bytes.
int _stricmp(const char* first, const char* second);
int _strnicmp(const char* first, const char* second, size_t count);
// Writes at most `count` characters; when the text and its NUL do not fit, no NUL is written, and -1 is returned
// if the text was cut.
int _snprintf(char* buffer, size_t count, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // extern "C"
