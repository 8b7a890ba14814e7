// EncryptFileA: marks a file or folder encrypted through its file system (FSCTL_SET_ENCRYPTION), as EFS does. The
// file is opened without sharing, so one held open elsewhere is refused (ERROR_SHARING_VIOLATION).
#include "windows.h"
#include "winioctl.h"
#include "xp/faults.h"

// Exported by advapi32.
extern "C" BOOL EncryptFileA(LPCSTR file_name) {
  const char* const path = file_name != nullptr ? file_name : "";
  if (const std::optional<uint32_t> error = xp::machine::FailPoint("EncryptFileA", path)) {
    SetLastError(*error);
    return FALSE;
  }
  const HANDLE file = CreateFileA(file_name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  ENCRYPTION_BUFFER request{FILE_SET_ENCRYPTION, {0}};
  DWORD returned = 0;
  const BOOL encrypted =
      DeviceIoControl(file, FSCTL_SET_ENCRYPTION, &request, sizeof request, nullptr, 0, &returned, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!encrypted) {
    SetLastError(error);
    return FALSE;
  }
  xp::machine::CrashPoint("EncryptFileA", path);
  return TRUE;
}
