// SHFileOperationA's permanent delete: each path of the list, and for a folder everything beneath it (read-only
// files included), through kernel32. A reparse point is removed itself, never followed.
#include <cstring>
#include <string>
#include <vector>

#include "shellapi.h"
#include "windows.h"
#include "xp/debug.h"

XP_DEBUG_CHANNEL(shell32);

namespace {

constexpr FILEOP_FLAGS kQuietDelete = FOF_SILENT | FOF_NOCONFIRMATION;

// The names in a folder other than "." and ".."; false with the last error set when it cannot be listed.
bool Children(const std::string& folder, std::vector<std::string>* names) {
  WIN32_FIND_DATAA data;
  const HANDLE find = FindFirstFileA((folder + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::string name = data.cFileName;
    if (name != "." && name != "..") names->push_back(name);
  } while (FindNextFileA(find, &data));
  const DWORD end = GetLastError();
  FindClose(find);
  SetLastError(end);
  return end == ERROR_NO_MORE_FILES;
}

// 0, or the Win32 error of the step that failed.
DWORD DeleteTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    std::vector<std::string> names;
    if (!Children(path, &names)) return GetLastError();
    for (const std::string& name : names) {
      if (const DWORD error = DeleteTree(path + "\\" + name); error != 0) return error;
    }
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 && !SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    return GetLastError();
  }
  const BOOL deleted = folder ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
  return deleted ? 0 : GetLastError();
}

}  // namespace

// Exported by shell32. Only FO_DELETE with FOF_SILENT | FOF_NOCONFIRMATION of plain paths (no wildcards).
extern "C" int SHFileOperationA(LPSHFILEOPSTRUCTA file_operation) {
  if (file_operation == nullptr || file_operation->pFrom == nullptr) return ERROR_INVALID_PARAMETER;
  file_operation->fAnyOperationsAborted = FALSE;
  file_operation->hNameMappings = nullptr;
  if (file_operation->wFunc != FO_DELETE || file_operation->fFlags != kQuietDelete) {
    XP_FIXME("SHFileOperationA",
             "only FO_DELETE with FOF_SILENT | FOF_NOCONFIRMATION is implemented: operation %u, flags %u",
             static_cast<unsigned>(file_operation->wFunc), static_cast<unsigned>(file_operation->fFlags));
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  for (const char* path = file_operation->pFrom; *path != '\0'; path += std::strlen(path) + 1) {
    if (std::strpbrk(path, "*?") != nullptr) {
      XP_FIXME("SHFileOperationA", "wildcards are not implemented: %s", path);
      return ERROR_CALL_NOT_IMPLEMENTED;
    }
    if (const DWORD error = DeleteTree(path); error != 0) return static_cast<int>(error);
  }
  return 0;
}
