// MSVCRT's own names for file checks and deletion: _access and _unlink, on Windows paths through kernel32 and on
// any other path through the host's access and unlink.
#include <unistd.h>

#include <cerrno>

#include "msvcrt.h"
#include "msvcrt_private.h"

using namespace xp::msvcrt;

// Exported. mode: 0 exists, 2 writable, 4 readable, 6 both; a read-only file is not writable.
extern "C" int _access(const char* path, int mode) {
  if (!IsWindowsPath(path)) return ::access(path, mode);
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    SetErrnoFromLastError();
    return -1;
  }
  if ((mode & 2) != 0 && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

// Exported.
extern "C" int _unlink(const char* path) {
  if (!IsWindowsPath(path)) return ::unlink(path);
  if (DeleteFileA(path)) return 0;
  SetErrnoFromLastError();
  return -1;
}
