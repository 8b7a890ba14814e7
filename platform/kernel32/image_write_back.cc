// A program or DLL of the drives runs from the disk itself (exec, dlopen of the host file). On XP the image loader
// reads an image through the cache, so a file just written is seen whole: here what the kernel's cache still holds
// of the file is written back first.
#include "file_layer.h"

namespace xp::kernel32 {

void WriteImageBack(const std::string& windows_path) {
  const DWORD saved_error = GetLastError();
  if (const std::optional<WindowsPath> path = ParseWindowsPath(windows_path.c_str(), "WriteImageBack")) {
    nt::ScopedHandle handle;
    const ULONG share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (NT_SUCCESS(OpenPath(*path, FILE_WRITE_DATA, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE, &handle))) {
      nt::Flush(handle.get());
    }
  }
  SetLastError(saved_error);
}

}  // namespace xp::kernel32
