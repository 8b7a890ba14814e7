// Making and removing folders by name: CreateDirectoryA (ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND when the
// parent is missing) and RemoveDirectoryA (empty folders only: ERROR_DIR_NOT_EMPTY).
#include "ddk/ntifs.h"
#include "file_layer.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(kernel32);

using namespace xp::kernel32;

namespace {

// A folder's path leaves room for an 8.3 file name inside it within MAX_PATH.
constexpr size_t kLongestFolderPath = MAX_PATH - 12;

}  // namespace

// Exported by kernel32. No security descriptor.
extern "C" BOOL CreateDirectoryA(LPCSTR path_name, LPSECURITY_ATTRIBUTES attributes) {
  if (attributes != nullptr) {
    XP_FIXME("CreateDirectoryA", "security attributes are not implemented");
    return FailWithError(ERROR_CALL_NOT_IMPLEMENTED);
  }
  const std::optional<WindowsPath> path = ParseWindowsPath(path_name, "CreateDirectoryA");
  if (!path) return FALSE;
  if (path->Text().size() > kLongestFolderPath) return FailWithError(ERROR_FILENAME_EXCED_RANGE);
  if (FaultFails("CreateDirectoryA", path->Text())) return FALSE;
  nt::ScopedHandle handle;
  const NTSTATUS status = OpenPath(*path, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                                   FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, &handle, FILE_ATTRIBUTE_NORMAL);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  handle.Release();
  CrashAfter("CreateDirectoryA", path->Text());
  return TRUE;
}

// Exported by kernel32.
extern "C" BOOL RemoveDirectoryA(LPCSTR path_name) {
  const std::optional<WindowsPath> path = ParseWindowsPath(path_name, "RemoveDirectoryA");
  if (!path) return FALSE;
  if (FaultFails("RemoveDirectoryA", path->Text())) return FALSE;
  const NTSTATUS status = DeleteByName(*path, FILE_DIRECTORY_FILE);
  if (!NT_SUCCESS(status)) return FailWithStatus(status);
  CrashAfter("RemoveDirectoryA", path->Text());
  return TRUE;
}
