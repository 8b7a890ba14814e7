// Small file and folder helpers of the setup programs: NTFS compression and sparse marks, file times, existence,
// folder creation and removal, and trailing blanks.
#include <cstring>
#include <vector>

#include "setupcore_private.h"
#include "shellapi.h"
#include "winioctl.h"

namespace tavik::setupcore {
namespace {

// Opened without sharing, as the helpers below need the file to themselves.
HANDLE OpenAlone(const char* path, DWORD access) {
  return CreateFileA(path, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// The folder that holds `path` ("C:\a" for "C:\a\b"); empty for a drive's root or a path without a backslash.
std::string ParentOf(const std::string& path) {
  const size_t cut = path.rfind('\\');
  if (cut == std::string::npos || cut < 3) return {};
  return path.substr(0, cut);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool FlushedToDisk(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(file);
  return CloseHandle(file) && flushed;
}

}  // namespace tavik::setupcore

// Exported by setupcore. compress: NTFS compression in the default format; otherwise the sparse mark.
bool setCompressSparseAttr(bool compress, const char* path) {
  HANDLE file = tavik::setupcore::OpenAlone(path, GENERIC_READ | GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  BOOL done;
  if (compress) {
    USHORT format = COMPRESSION_FORMAT_DEFAULT;
    done = DeviceIoControl(file, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0, &returned, nullptr);
  } else {
    done = DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  }
  CloseHandle(file);
  return done != FALSE;
}

// Exported by setupcore.
int getFileTime(const char* path, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite) {
  HANDLE file = tavik::setupcore::OpenAlone(path, GENERIC_READ);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const BOOL read = GetFileTime(file, creation, lastAccess, lastWrite);
  CloseHandle(file);
  return read ? 1 : 0;
}

// Exported by setupcore.
int setFileTime(const char* path, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) {
  HANDLE file = tavik::setupcore::OpenAlone(path, GENERIC_WRITE);
  if (file == INVALID_HANDLE_VALUE) return 0;
  const BOOL written = SetFileTime(file, creation, lastAccess, lastWrite);
  CloseHandle(file);
  return written ? 1 : 0;
}

// Exported by setupcore. Deletes the tree for good (no recycle bin). The shell takes a list of paths ended by an
// empty one, so the path is followed by two NULs.
bool delNonEmptyDirectory(char* folder) {
  if (folder == nullptr) return false;
  const size_t length = std::strlen(folder);
  if (length == 0 || length >= MAX_PATH) return false;
  std::vector<char> from(length + 2, '\0');
  std::memcpy(from.data(), folder, length);
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.data();
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  return SHFileOperationA(&operation) == 0;
}

// Exported by setupcore.
bool createMyDir(const char* path) {
  using tavik::setupcore::Exists;
  if (path == nullptr || Exists(path)) return false;
  const std::string parent = tavik::setupcore::ParentOf(path);
  if (!parent.empty() && !Exists(parent) && !createMyDir(parent.c_str())) return false;
  return CreateDirectoryA(path, nullptr) != FALSE;
}

// Exported by setupcore.
char bFileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0; }

// Exported by setupcore. Only spaces go; tabs stay.
bool delTrailingSpaces(char* text) {
  if (text == nullptr) return false;
  size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == ' ') --length;
  text[length] = '\0';
  return true;
}
