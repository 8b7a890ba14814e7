// The C library calls a program makes on Windows paths: fopen, rename and remove are defined here, so a program
// linked with this library reaches the machine's drives through kernel32 for a Windows path and glibc's own
// function for any other path (host code in the same process is unaffected).
#include <dlfcn.h>

#include <cerrno>

#include "msvcrt_private.h"

namespace xp::msvcrt {
namespace {

// glibc's definition of `name`, the one this library's hides.
template <typename Function>
Function* Next(const char* name) {
  return reinterpret_cast<Function*>(::dlsym(RTLD_NEXT, name));
}

}  // namespace
}  // namespace xp::msvcrt

using namespace xp::msvcrt;

// Interposes glibc's fopen. Windows paths: modes "r", "w", "a" with 'b' or 't'.
extern "C" FILE* fopen(const char* path, const char* mode) {
  static auto* const next = Next<FILE*(const char*, const char*)>("fopen");
  if (path == nullptr || mode == nullptr || !IsWindowsPath(path)) return next(path, mode);
  return OpenWindowsStream(path, mode);
}

// Interposes glibc's rename. On Windows paths it fails when the new name exists, as MSVCRT's does.
extern "C" int rename(const char* old_name, const char* new_name) noexcept {
  static auto* const next = Next<int(const char*, const char*)>("rename");
  if (old_name == nullptr || new_name == nullptr || (!IsWindowsPath(old_name) && !IsWindowsPath(new_name))) {
    return next(old_name, new_name);
  }
  if (MoveFileA(old_name, new_name)) return 0;
  SetErrnoFromLastError();
  return -1;
}

// Interposes glibc's remove. On Windows paths it deletes files only, and not read-only ones.
extern "C" int remove(const char* path) noexcept {
  static auto* const next = Next<int(const char*)>("remove");
  if (path == nullptr || !IsWindowsPath(path)) return next(path);
  if (DeleteFileA(path)) return 0;
  SetErrnoFromLastError();
  return -1;
}
