// Which paths the run time sends to the machine's drives, and the errno a failed Win32 call becomes.
#include <cctype>
#include <cerrno>
#include <cstring>

#include "msvcrt_private.h"

namespace xp::msvcrt {

bool IsWindowsPath(const char* path) {
  return (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') || std::strchr(path, '\\') != nullptr;
}

void SetErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    default: errno = EINVAL; break;
  }
}

}  // namespace xp::msvcrt
